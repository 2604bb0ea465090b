#include "tests/fuzz/fuzzentry.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/genemap.h"
#include "io/inputtext.h"
#include "io/listfiles.h"
#include "io/newick.h"
#include "io/tokenizer.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

[[noreturn]] void broken(const std::string& what) {
  fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
  fflush(stderr);
  abort();
}

void need(bool ok, const char* what) {
  if (!ok) broken(what);
}

[[noreturn]] void exitwhilechecking(int status) {
  broken("exit with status " + std::to_string(status) + " while checking a tree that was built");
}

// While a built tree is checked, any fatal error is a fault of the checked code.
struct CheckPhase {
  void (*saved)(int);
  CheckPhase() : saved(kelvoraexithook) { kelvoraexithook = exitwhilechecking; }
  ~CheckPhase() { kelvoraexithook = saved; }
};

// Frees the trees a list file gave, also when a fatal error unwinds through a test hook.
template <class T>
struct Owned {
  std::vector<T*> trees;
  ~Owned() {
    for (T* t : trees) delete t;
  }
};

void resetglobals() {
  specnames.clear();
  specnames2id.clear();
  linenum = charnum = 0;
  inputfilename = nullptr;
  gsid = 0;
  free(gsdelim);
  gsdelim = nullptr;
  gspos = 0;
  cleargenemap();
  genelistfile = nullptr;
}

const char* const delimiters[] = {"_", "__", ".", "-", "_x"};

// The -l rule as the option parser sets it: mode 0 none, 1 position, 2 middle field, 3 prefix,
// 4 prefix before the last delimiter (only where modes is 5).
void setrule(uint8_t mode, uint8_t arg, int modes = 4) {
  gsid = mode % modes;
  if (gsid == 1) {
    int8_t n = static_cast<int8_t>(arg);
    gspos = n == 127 ? INT_MAX : n == -128 ? INT_MIN : n;
  } else if (gsid > 1) {
    gsdelim = strdup(delimiters[arg % (sizeof delimiters / sizeof *delimiters)]);
  }
}

std::vector<char> textof(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back(0);
  return text;
}

void writefile(const char* name, const uint8_t* data, size_t size) {
  FILE* f = fopen(name, "wb");
  need(f != nullptr, "cannot write the input file");
  need(fwrite(data, 1, size, f) == size, "cannot write the input file");
  fclose(f);
}

template <class T>
std::string printed(T& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

// A printed tree can be read back when all its names are plain and it names no raw file.
template <class T>
bool readable(T& t, const std::string& text) {
  if (text.find(".raw") != std::string::npos) return false;
  for (int v = 0; v < t.leaves; v++)
    if (!islabelname(specnames[t.lab[v]])) return false;
  return true;
}

void checkrooted(RootedTree& t) {
  int n = t.leaves;
  need(n >= 2 && n <= MAXLEAVES, "leaf count in range");
  need(t.internal == n - 1 && t.total == 2 * n - 1, "node counts of a rooted tree");
  need(t.root >= n && t.root < t.total, "root is an internal node");
  need(t.parent[t.root] == -1, "root has no parent");
  std::vector<char> seen(t.total, 0);
  std::vector<short> stack{t.root};
  int count = 0;
  while (!stack.empty()) {
    short v = stack.back();
    stack.pop_back();
    need(v >= 0 && v < t.total, "node id in range");
    need(!seen[v], "every node is reached once from the root");
    seen[v] = 1;
    count++;
    if (v < n) {
      need(t.lab[v] >= 0 && static_cast<size_t>(t.lab[v]) < specnames.size(), "species id");
      need(t.level[v] == 0, "leaf level");
      continue;
    }
    short a, b;
    t.getchildren(v, a, b);
    need(a >= 0 && a < t.total && b >= 0 && b < t.total, "child id in range");
    need(t.parent[a] == v && t.parent[b] == v, "parents match children");
    stack.push_back(a);
    stack.push_back(b);
  }
  need(count == t.total, "every node is reached from the root");
  for (int v = n; v < t.total; v++) {
    short a, b;
    t.getchildren(static_cast<short>(v), a, b);
    need(t.level[v] == 1 + std::max(t.level[a], t.level[b]), "level of an internal node");
  }
}

void roundtriprooted(RootedTree& t) {
  std::string text = printed(t);
  if (!readable(t, text)) return;
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back(0);
  RootedTree u(copy.data());
  checkrooted(u);
  need(printed(u) == text, "a printed species tree prints the same when read back");
}

void checkunrooted(UnrootedTree& g) {
  int n = g.leaves;
  need(n >= 3 && n <= MAXGENELEAVES, "leaf count in range");
  need(g.internal == 3 * n - 6 && g.total == 4 * n - 6, "node counts of an unrooted tree");
  for (int v = 0; v < g.total; v++) {
    short o = g.parent[v];
    need(o >= 0 && o < g.total && o != v && g.parent[o] == v, "opposites pair up");
  }
  for (int v = 0; v < n; v++) {
    need(g.parent[v] >= n, "the opposite of a leaf is internal");
    need(g.lab[v] >= 0 && static_cast<size_t>(g.lab[v]) < specnames.size(), "species id");
    need(!gsid || (g.leaflabels && g.leaflabels[v]), "a leaf keeps its label under -l");
  }
  need(g.inroot >= 0 && g.inroot < g.total, "input rooting in range");
  // Both sides of the input rooting hold every leaf once.
  std::vector<int> hits(n, 0);
  std::vector<short> stack{g.inroot, g.parent[g.inroot]};
  int steps = 0;
  while (!stack.empty()) {
    short v = stack.back();
    stack.pop_back();
    need(++steps <= g.total, "the walk of the input rooting ends");
    if (v < n) {
      hits[v]++;
      continue;
    }
    short a, b;
    g.getchildren(v, a, b);
    need(a >= 0 && a < g.total && b >= 0 && b < g.total, "child id in range");
    stack.push_back(a);
    stack.push_back(b);
  }
  for (int v = 0; v < n; v++) need(hits[v] == 1, "every leaf once under the input rooting");
}

// Printing moves the input rooting's sides (((a,b),(c,d)) prints as ((c,d),(a,b))), so after
// one reading the printed text alternates between two forms.
void roundtripunrooted(UnrootedTree& g) {
  if (gsid) return;
  std::string first = printed(g);
  if (!readable(g, first)) return;
  std::string text = first;
  for (int round = 0; round < 2; round++) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back(0);
    UnrootedTree u(copy.data());
    checkunrooted(u);
    text = printed(u);
  }
  need(text == first, "a printed gene tree prints the same after two more readings");
}

// A Newick-read tree prints names unquoted: it reads back when every name is a plain Newick label.
template <class T>
bool newickreadable(T& t) {
  for (int v = 0; v < t.leaves; v++) {
    const std::string& s = specnames[t.lab[v]];
    if (s.empty()) return false;
    for (char c : s)
      if (isinputblank(c) || c == '\n' || strchr("()[]':;,", c)) return false;
  }
  return true;
}

void newickroundtrip(RootedTree& t) {
  std::string text = printed(t);
  if (text.find(".raw") != std::string::npos || !newickreadable(t)) return;
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back(0);
  std::unique_ptr<RootedTree> u(newickspeciestree(copy.data()));
  checkrooted(*u);
  need(printed(*u) == text, "a printed Newick species tree prints the same when read back");
}

void newickroundtrip(UnrootedTree& g) {
  if (gsid || genemapactive() || !newickreadable(g)) return;
  std::string first = printed(g), text = first;
  for (int round = 0; round < 2; round++) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back(0);
    std::unique_ptr<UnrootedTree> u(newickgenetree(copy.data()));
    checkunrooted(*u);
    text = printed(*u);
  }
  need(text == first, "a printed Newick gene tree prints the same after two more readings");
}

// Species trees of the Newick reader name each species once.
void checkdistinct(RootedTree& t) {
  std::vector<short> names(t.lab, t.lab + t.leaves);
  std::sort(names.begin(), names.end());
  need(std::adjacent_find(names.begin(), names.end()) == names.end(),
       "a Newick species tree names each species once");
}

void rawroundtrip(RootedTree& t, const char* tmpname) {
  std::string again = std::string(tmpname) + ".again.raw";
  t.saveraw(again);
  std::vector<char> name(again.begin(), again.end());
  name.push_back(0);
  {
    RootedTree u(name.data());
    checkrooted(u);
    need(u.root == t.root, "a saved raw tree keeps its root");
    for (int v = 0; v < t.total; v++)
      need(u.parent[v] == t.parent[v] && u.son[v] == t.son[v], "a saved raw tree keeps its nodes");
    for (int v = 0; v < t.leaves; v++) need(u.lab[v] == t.lab[v], "a saved raw tree keeps its species");
  }
  remove(again.c_str());
}

}  // namespace

void fuzzspecies(const uint8_t* data, size_t size) {
  resetglobals();
  std::vector<char> text = textof(data, size);
  RootedTree t(text.data());
  CheckPhase phase;
  checkrooted(t);
  roundtriprooted(t);
}

void fuzzgene(const uint8_t* data, size_t size) {
  resetglobals();
  if (size < 2) return;
  setrule(data[0], data[1]);
  std::vector<char> text = textof(data + 2, size - 2);
  UnrootedTree g(text.data());
  CheckPhase phase;
  checkunrooted(g);
  roundtripunrooted(g);
}

void fuzzlist(const uint8_t* data, size_t size, const char* tmpname) {
  resetglobals();
  if (size < 2) return;
  writefile(tmpname, data + 2, size - 2);
  if (data[0] % 2 == 0) {
    Owned<RootedTree> list;
    readstree(tmpname, list.trees);
    CheckPhase phase;
    for (RootedTree* t : list.trees) checkrooted(*t);
  } else {
    setrule(static_cast<uint8_t>(data[0] >> 1), data[1]);
    Owned<UnrootedTree> list;
    readgtree(tmpname, list.trees);
    CheckPhase phase;
    for (UnrootedTree* g : list.trees) checkunrooted(*g);
  }
}

void fuzzraw(const uint8_t* data, size_t size, const char* tmpname) {
  resetglobals();
  need(strstr(tmpname, ".raw") != nullptr, "a raw file name holds .raw");
  writefile(tmpname, data, size);
  std::vector<char> name(tmpname, tmpname + strlen(tmpname) + 1);
  RootedTree t(name.data());
  CheckPhase phase;
  checkrooted(t);
  rawroundtrip(t, tmpname);
}

void fuzznewick(const uint8_t* data, size_t size, const char* tmpname) {
  resetglobals();
  if (size < 2) return;
  int what = data[0] % 4;
  if (what % 2) setrule(static_cast<uint8_t>(data[0] / 4), data[1], 5);
  if (what >= 2) {
    std::vector<char> text = textof(data + 2, size - 2);
    if (what == 2) {
      std::unique_ptr<RootedTree> t(newickspeciestree(text.data()));
      CheckPhase phase;
      checkrooted(*t);
      // A -s argument naming a raw file is read as one, with its own rules.
      if (!strstr(text.data(), ".raw")) checkdistinct(*t);
      newickroundtrip(*t);
    } else {
      std::unique_ptr<UnrootedTree> g(newickgenetree(text.data()));
      if (!g) return;  // fewer than three leaves: left out
      CheckPhase phase;
      checkunrooted(*g);
      newickroundtrip(*g);
    }
    return;
  }
  writefile(tmpname, data + 2, size - 2);
  if (what == 0) {
    Owned<RootedTree> list;
    readnewickstrees(tmpname, list.trees);
    CheckPhase phase;
    for (RootedTree* t : list.trees) checkrooted(*t);
  } else {
    Owned<UnrootedTree> list;
    readnewickgtrees(tmpname, list.trees);
    CheckPhase phase;
    for (UnrootedTree* g : list.trees) {
      checkunrooted(*g);
      newickroundtrip(*g);
    }
  }
}

void fuzzmap(const uint8_t* data, size_t size, const char* tmpname) {
  resetglobals();
  if (size < 1) return;
  const uint8_t* nul = static_cast<const uint8_t*>(memchr(data, 0, size));
  size_t mapsize = nul ? nul - data : size;
  std::string mapname = std::string(tmpname) + ".map";
  writefile(mapname.c_str(), data, mapsize);
  size_t rest = nul ? size - mapsize - 1 : 0;
  writefile(tmpname, nul ? nul + 1 : data, rest);
  loadgenemap(mapname);
  Owned<UnrootedTree> list;
  if (data[0] % 2 == 0)
    readnewickgtrees(tmpname, list.trees);
  else
    readgtree(tmpname, list.trees);
  CheckPhase phase;
  for (UnrootedTree* g : list.trees) checkunrooted(*g);
}

bool fuzzrun(const std::string& target, const uint8_t* data, size_t size, const char* tmpname) {
  if (target == "species")
    fuzzspecies(data, size);
  else if (target == "gene")
    fuzzgene(data, size);
  else if (target == "list")
    fuzzlist(data, size, tmpname);
  else if (target == "raw")
    fuzzraw(data, size, tmpname);
  else if (target == "newick")
    fuzznewick(data, size, tmpname);
  else if (target == "map")
    fuzzmap(data, size, tmpname);
  else
    return false;
  return true;
}

bool fuzzexitstatus(const std::string& target, const uint8_t* data, size_t size, int status) {
  // Only the plain gene-tree reader has the branch-length status.
  bool genes = target == "gene" || (target == "list" && size >= 2 && data[0] % 2 == 1) ||
               (target == "map" && size >= 1 && data[0] % 2 == 1);
  return status == -1 || (genes && status == -10);
}
