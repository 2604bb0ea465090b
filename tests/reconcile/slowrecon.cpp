#include "tests/reconcile/slowrecon.h"

#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

struct Node {
  int left = -1, right = -1;
  std::string name;
};

int parse(const std::string& t, size_t& pos, std::vector<Node>& nodes) {
  if (t[pos] == '(') {
    pos++;
    int l = parse(t, pos, nodes);
    pos++;  // ','
    int r = parse(t, pos, nodes);
    pos++;  // ')'
    nodes.push_back({l, r, ""});
    return static_cast<int>(nodes.size()) - 1;
  }
  size_t end = t.find_first_of(",)", pos);
  nodes.push_back({-1, -1, t.substr(pos, end - pos)});
  pos = end;
  return static_cast<int>(nodes.size()) - 1;
}

int depthof(RootedTree& S, short v) {
  int d = 0;
  for (; v != S.root; v = S.parent[v]) d++;
  return d;
}

std::set<std::string> speciescluster(RootedTree& S, short v) {
  if (v < S.leaves) return {specnames[S.lab[v]]};
  std::set<std::string> a = speciescluster(S, S.son[v - S.leaves]);
  std::set<std::string> b = speciescluster(S, S.son[v]);
  a.insert(b.begin(), b.end());
  return a;
}

}  // namespace

short slowlca(RootedTree& S, short a, short b) {
  int da = depthof(S, a), db = depthof(S, b);
  for (; da > db; da--) a = S.parent[a];
  for (; db > da; db--) b = S.parent[b];
  while (a != b) {
    a = S.parent[a];
    b = S.parent[b];
  }
  return a;
}

SlowCosts slowcosts(const std::string& text, RootedTree& S) {
  std::vector<Node> g;
  size_t pos = 0;
  int root = parse(text, pos, g);
  std::map<std::string, short> leafof;
  for (short v = 0; v < S.leaves; v++) leafof.emplace(specnames[S.lab[v]], v);
  // Nodes are stored children first, so one pass maps them all.
  std::vector<short> M(g.size());
  std::vector<std::set<std::string>> cl(g.size());
  for (size_t x = 0; x < g.size(); x++) {
    if (g[x].left < 0) {
      M[x] = leafof.at(g[x].name);
      cl[x] = {g[x].name};
    } else {
      M[x] = slowlca(S, M[g[x].left], M[g[x].right]);
      cl[x] = cl[g[x].left];
      cl[x].insert(cl[g[x].right].begin(), cl[g[x].right].end());
    }
  }
  std::set<std::set<std::string>> scl, gcl(cl.begin(), cl.end());
  for (short s = 0; s < S.total; s++) scl.insert(speciescluster(S, s));

  SlowCosts c;
  for (size_t x = 0; x < g.size(); x++) {
    if (!scl.count(cl[x])) c.rf++;
    if (g[x].left < 0) continue;
    int kids[2] = {g[x].left, g[x].right};
    bool dup = M[kids[0]] == M[x] || M[kids[1]] == M[x];
    if (dup) c.dup++; else c.sp++;
    for (int k : kids) {
      int gap = depthof(S, M[k]) - depthof(S, M[x]);
      c.loss += gap - (dup ? 0 : 1);
      c.dc += gap;
    }
    if (static_cast<int>(x) != root && scl.count(cl[x])) c.rfo++;
  }
  for (short s = 0; s < S.total; s++)
    if (!gcl.count(speciescluster(S, s))) c.rf++;
  return c;
}

std::string rootingtext(UnrootedTree& G, short v) {
  std::ostringstream text;
  G.printrooting(text, v);
  return text.str();
}

SlowCosts slowcosts(UnrootedTree& G, short v, RootedTree& S) {
  return slowcosts(rootingtext(G, v), S);
}
