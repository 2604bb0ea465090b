#include "search/checkpoint.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "parallel/processes.h"
#include "search/searchdriver.h"
#include "store/bytes.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
#include "io/newick.h"
#include "trees/randomdraws.h"
#include "trees/rootedtree.h"
#include "io/savefile.h"
#include "trees/species.h"

CheckpointSettings checkpointing;

namespace {

const char magic[] = "kelvora checkpoint 1\n";

// The file read by resumedtree(), and where the search's own state begins in it.
std::string resumed;
size_t searchpart = 0;
char resumedkind = 0;

uint64_t checksum(const char* p, size_t n) {
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < n; i++) {
    h ^= static_cast<unsigned char>(p[i]);
    h *= 1099511628211ULL;
  }
  return h;
}

[[noreturn]] void damaged() {
  fatal("Checkpoint " + checkpointing.resume + " is damaged or cut short: it cannot be resumed");
}

void putshape(ByteWriter& out, const TreeShape& t) {
  out.put(t.root);
  out.putvec(t.lab);
  out.putvec(t.parent);
  out.putvec(t.son);
}

TreeShape getshape(ByteReader& in) {
  TreeShape t;
  t.root = in.get<short>();
  t.lab = in.getvec<short>();
  t.parent = in.getvec<short>();
  t.son = in.getvec<short>();
  return t;
}

std::string readwhole(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  if (!f) fatal("Cannot resume from " + name + ": " + strerror(errno));
  std::ostringstream s;
  s << f.rdbuf();
  if (f.bad()) fatal("Cannot resume from " + name + ": " + strerror(errno));
  return s.str();
}

}  // namespace

RootedTree* resumedtree() {
  const std::string& name = checkpointing.resume;
  resumed = readwhole(name);
  const size_t m = sizeof magic - 1;
  if (resumed.compare(0, m, magic) != 0)
    fatal("Cannot resume from " + name + ": it is not a checkpoint of kelvora");
  if (resumed.size() < m + 8) damaged();
  uint64_t sum;
  memcpy(&sum, resumed.data() + resumed.size() - 8, 8);
  if (sum != checksum(resumed.data(), resumed.size() - 8)) damaged();
  std::string body = resumed.substr(m, resumed.size() - 8 - m);
  ByteReader in(body, damaged);
  const std::string command = in.getstr();
  if (command != checkpointing.command)
    fatal("Cannot resume from " + name + ": it was saved by a run of other arguments (" + command +
          " ); give them again with --resume");
  const unsigned seed = in.get<uint32_t>();
  const unsigned long long draws = in.get<uint64_t>();
  resumedkind = in.get<char>();
  const TreeShape shape = getshape(in);
  if (shape.lab.empty() || shape.lab.size() > static_cast<size_t>(MAXLEAVES)) damaged();
  for (short s : shape.lab)
    if (s < 0 || static_cast<size_t>(s) >= specnames.size()) damaged();
  // Any tree of the species, then the saved shape with its node ids.
  std::vector<int> post{shape.lab[0]};
  for (size_t i = 1; i < shape.lab.size(); i++) {
    post.push_back(shape.lab[i]);
    post.push_back(POSTJOIN);
  }
  RootedTree* S = speciestreeof(post);
  setshape(*S, shape);
  searchpart = m + (body.size() - in.remaining());
  restorerandom(seed, draws);
  if (mainprocess()) std::cerr << "Resuming the search saved in " << name << std::endl;
  return S;
}

void savestarts(ByteWriter& out, const std::vector<RootedTree*>& starts) {
  out.put<uint64_t>(starts.size());
  std::vector<short> enc(starts[0]->reprlen());
  for (size_t k = 1; k < starts.size(); k++) {
    starts[k]->repr(enc.data());
    out.putvec(enc);
  }
}

void loadstarts(ByteReader& in, std::vector<RootedTree*>& starts) {
  const uint64_t n = in.get<uint64_t>();
  if (n == 0) in.damaged();
  for (size_t k = 1; k < starts.size(); k++) delete starts[k];
  starts.resize(1);
  const size_t len = static_cast<size_t>(starts[0]->reprlen());
  for (uint64_t k = 1; k < n; k++) {
    std::vector<short> enc = in.getvec<short>();
    if (enc.size() != len) in.damaged();
    TreeRepr r(enc.data(), static_cast<int>(enc.size()), 0);
    starts.push_back(speciestreeof(reprpostorder(r)));
  }
}

Checkpoints::Checkpoints(char kind) : kind(kind), last(std::chrono::steady_clock::now()) {}

void Checkpoints::load(SearchSteps& search) {
  if (resumedkind != kind)
    fatal("Cannot resume from " + checkpointing.resume + ": it was saved by another kind of search");
  std::string rest = resumed.substr(searchpart, resumed.size() - 8 - searchpart);
  ByteReader in(rest, damaged);
  search.load(in);
  if (!in.done()) damaged();
  resumed.clear();
  resumed.shrink_to_fit();
}

void Checkpoints::mark(SearchSteps& search) {
  shape = shapeof(search.tree());
  draws = randomdraws();
  search.mark();
}

bool Checkpoints::due() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - last).count() >=
         checkpointing.every;
}

void Checkpoints::write(SearchSteps& search) {
  last = std::chrono::steady_clock::now();
  if (!mainprocess()) return;  // every process holds the same state; one writes it
  ByteWriter out;
  out.bytes = magic;
  out.putstr(checkpointing.command);
  out.put<uint32_t>(randomseed());
  out.put<uint64_t>(draws);
  out.put(kind);
  putshape(out, shape);
  search.save(out);
  out.put<uint64_t>(checksum(out.bytes.data(), out.bytes.size()));
  writefile(checkpointing.file, out.bytes);
}
