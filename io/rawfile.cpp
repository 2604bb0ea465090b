#include <climits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/savefile.h"
#include "parallel/processes.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

static const char* const EMPTYNAME = "\"\"";

void RootedTree::saveraw(const std::string& filename) {
  if (!mainprocess()) return;  // one process of a run writes the files
  std::ostringstream f;
  f << specnames.size() << "\n";
  // Names are blank-separated, so the empty name (possible under -l a) is written as "",
  // which no label can be.
  for (auto& name : specnames) f << (name.empty() ? EMPTYNAME : name) << " ";
  f << "\n" << total << " " << leaves << " \n";
  for (int i = 0; i < total; i++) f << parent[i] << " ";
  f << "\n";
  for (int i = 0; i < leaves; i++) f << lab[i] << " ";
  f << "\n";
  for (int i = 0; i < total; i++) f << son[i] << " ";
  f << "\n" << root << "\n";
  writeoutput(filename, f.str());
}

namespace {

struct RawReader {
  std::ifstream in;
  std::string name;

  [[noreturn]] void bad(const std::string& why) { fatal("Malformed raw file " + name + ": " + why); }

  long number(const char* what) {
    std::string tok;
    if (!(in >> tok)) bad(std::string("premature end, expected ") + what);
    size_t used = 0;
    long v = 0;
    try {
      v = std::stol(tok, &used);
    } catch (...) {
      used = 0;
    }
    if (used == 0 || used != tok.size()) bad(std::string("number expected for ") + what + ", found " + tok);
    return v;
  }

  short node(const char* what, long lo, long hi) {
    long v = number(what);
    if (v < lo || v >= hi) bad(std::string(what) + " " + std::to_string(v) + " out of range");
    return static_cast<short>(v);
  }
};

}  // namespace

void RootedTree::readraw(const char* filename) {
  RawReader r;
  r.name = filename;
  r.in.open(filename);
  if (!r.in) fatal(std::string("Cannot open file ") + filename);
  long n = r.number("the number of species");
  if (n < 0 || n > MAXSPECIES) r.bad("number of species " + std::to_string(n) + " out of range");
  // Stored ids are translated through the stored names, so the file means the same species
  // whatever this run registered before it.
  std::vector<short> idof(n);
  for (long i = 0; i < n; i++) {
    std::string s;
    if (!(r.in >> s)) r.bad("premature end in the species names");
    if (s == EMPTYNAME) s.clear();
    idof[i] = static_cast<short>(registerspecies(s));
  }
  long tot = r.number("the node count");
  long lv = r.number("the leaf count");
  if (lv < 0) r.bad("negative leaf count");
  // Checked before init adds up the counts, which a huge count would overflow.
  if (lv > MAXLEAVES) treetoolarge(static_cast<int>(std::min<long>(lv, INT_MAX)));
  init(static_cast<int>(lv), static_cast<int>(lv - 1), filename);
  if (tot != total) r.bad("node count " + std::to_string(tot) + " is not 2 x leaves - 1");
  for (int i = 0; i < total; i++) parent[i] = r.node("parent", -1, total);
  for (int i = 0; i < leaves; i++) lab[i] = idof[r.node("species id", 0, n)];
  for (int i = 0; i < total; i++) son[i] = r.node("child", -1, total);
  root = r.node("root", leaves, total);

  // The arrays must form one binary tree over all nodes, rooted at root.
  std::vector<int> refs(total, 0);
  for (int v = leaves; v < total; v++) {
    short a = son[v - leaves], b = son[v];
    if (a < 0 || b < 0 || a == b || parent[a] != v || parent[b] != v)
      r.bad("children of node " + std::to_string(v) + " do not match their parents");
    refs[a]++;
    refs[b]++;
  }
  std::vector<short> stack{root};
  int seen = 0;
  while (!stack.empty()) {
    short v = stack.back();
    stack.pop_back();
    if (refs[v] != (v == root ? 0 : 1) || ++seen > total) r.bad("the nodes do not form one tree");
    if (v >= leaves) {
      stack.push_back(son[v - leaves]);
      stack.push_back(son[v]);
    }
  }
  if (seen != total) r.bad("the nodes do not form one tree");
  parent[root] = -1;
  son[leaves - 1] = -1;
  setlevel(root);
}
