#include "output/reconciliation.h"

#include <vector>

#include "trees/innernames.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

bool SpeciesKids::operator()(int x, int& a, int& b) const {
  if (x < S.leaves) return false;
  a = S.son[x - S.leaves];
  b = S.son[x];
  return true;
}

Reconciliation reconcile(UnrootedTree& G, short r) {
  Reconciliation rec;
  rec.nodes.reserve(2 * G.leaves - 1);
  short u = G.parent[r];
  bool rootdup = G.lcamap[r] == G.rootmap || G.lcamap[u] == G.rootmap;
  rec.nodes.push_back({-1, {-1, -1}, G.rootmap, rootdup});
  // Pending directed nodes with the node and child slot that wait for them; the first child
  // goes on top, so the nodes come out in pre-order.
  struct Pending {
    short dnode;
    int parent, slot;
  };
  std::vector<Pending> stack{{u, 0, 1}, {r, 0, 0}};
  while (!stack.empty()) {
    Pending p = stack.back();
    stack.pop_back();
    int at = static_cast<int>(rec.nodes.size());
    rec.nodes[p.parent].child[p.slot] = at;
    short x = p.dnode, m = G.lcamap[x];
    if (x < G.leaves) {
      rec.nodes.push_back({x, {-1, -1}, m, false});
      continue;
    }
    short a, b;
    G.getchildren(x, a, b);
    rec.nodes.push_back({x, {-1, -1}, m, G.lcamap[a] == m || G.lcamap[b] == m});
    stack.push_back({b, at, 1});
    stack.push_back({a, at, 0});
  }
  return rec;
}

void addevents(const Reconciliation& rec, const RootedTree& S, SpeciesEvents& ev) {
  std::vector<char> reached(S.total, 0);
  ev.lineages[rec.nodes[0].map]++;
  for (const RecNode& x : rec.nodes) {
    reached[x.map] = 1;
    for (int c : x.child) {
      if (c < 0) continue;
      // The child's lineage climbs from the child's image to x's. Each species node p it
      // leaves below x's image, or at it below a duplication, is a speciation whose other
      // side the gene lost.
      short y = rec.nodes[c].map;
      while (y != x.map) {
        ev.lineages[y]++;
        reached[y] = 1;
        short p = S.parent[y];
        if (p != x.map || x.dup) {
          short sister = S.son[p] == y ? S.son[p - S.leaves] : S.son[p];
          ev.loss[sister]++;
          ev.lineages[sister]++;
        }
        y = p;
      }
    }
    if (x.dup) ev.dup[x.map]++;
  }
  for (int s = 0; s < S.total; s++) ev.genetrees[s] += reached[s];
}

SpeciesEvents countevents(RootedTree& S, std::vector<UnrootedTree*>& gtree) {
  SpeciesEvents ev(S.total);
  S.setdepth(-1, 0);
  for (UnrootedTree* G : gtree) {
    G->clean(0);
    G->setlcamappings(S);
    addevents(reconcile(*G, G->findoptimal(S)), S, ev);
  }
  return ev;
}

std::vector<std::string> speciesnodenames(const RootedTree& S) {
  // Inner names the tree was given, where each is unlike every other name of the tree.
  std::vector<std::string> names(S.total);
  std::set<std::string> used;
  for (int v = 0; v < S.leaves; v++) used.insert(names[v] = specnames[S.lab[v]]);
  for (int v = S.leaves; v < S.total; v++) {
    std::string given = innername(S, static_cast<short>(v));
    if (!given.empty() && used.insert(given).second) names[v] = given;
  }
  auto taken = [&](const std::string& prefix) {
    for (const std::string& name : used) {
      if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
      if (name.find_first_not_of("0123456789", prefix.size()) == std::string::npos) return true;
    }
    return false;
  };
  std::string prefix = "n";
  while (taken(prefix)) prefix += "_";
  for (int v = S.leaves; v < S.total; v++)
    if (names[v].empty()) names[v] = prefix + std::to_string(v);
  return names;
}
