#include "tests/reconcile/othercosts.h"

#include <algorithm>
#include <vector>

#include "reconcile/genewalk.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// These costs are not memoised: each call walks its subtree (the rooting report keeps its own
// tables). The walks are iterative, since gene trees can be thousands of nodes deep.

static int _dccostsub(UnrootedTree& G, RootedTree& S, short v) {
  std::vector<short> order;
  subtreepreorder(G, v, order);
  int sum = 0;
  for (short x : order) {
    if (x < G.leaves) continue;
    short a, b;
    G.getchildren(x, a, b);
    sum += S.dist(G.lcamap[a], G.lcamap[x]) + S.dist(G.lcamap[b], G.lcamap[x]);
  }
  return sum;
}

int dccost(UnrootedTree& G, RootedTree& S, short v) {
  short u = G.parent[v];
  return S.dist(G.lcamap[u], G.rootmap) + S.dist(G.lcamap[v], G.rootmap) +
         _dccostsub(G, S, v) + _dccostsub(G, S, u);
}

static int _spcostsub(UnrootedTree& G, short v) {
  std::vector<short> order;
  subtreepreorder(G, v, order);
  int count = 0;
  for (short x : order) {
    if (x < G.leaves) continue;
    short a, b;
    G.getchildren(x, a, b);
    if (G.lcamap[x] != G.lcamap[a] && G.lcamap[x] != G.lcamap[b]) count++;
  }
  return count;
}

int spcost(UnrootedTree& G, RootedTree&, short v) {
  short u = G.parent[v];
  return _spcostsub(G, v) + _spcostsub(G, u) +
         (G.lcamap[v] != G.rootmap && G.lcamap[u] != G.rootmap ? 1 : 0);
}

// The nodes of the subtree of v whose cluster is exactly the cluster of their image: the
// image is the LCA of their species, so equal counts mean equal sets.
static std::vector<short> matchednodes(UnrootedTree& G, RootedTree& S, short v) {
  std::vector<short> order;
  subtreepreorder(G, v, order);
  std::vector<short> childfirst(order.rbegin(), order.rend());
  std::vector<int> sizes(G.total), below;
  distinctspecies(G, childfirst, sizes);
  leafcounts(S, below);
  std::vector<short> matched;
  for (short x : order)
    if (sizes[x] == below[G.lcamap[x]]) matched.push_back(x);
  return matched;
}

static void _rfcostsub(UnrootedTree& G, RootedTree& S, short v, int* counts) {
  for (short x : matchednodes(G, S, v)) counts[G.lcamap[x]]++;
}

int rfcost(UnrootedTree& G, RootedTree& S, short v) {
  short u = G.parent[v];
  std::vector<int> counts(S.total, 0);
  int result = S.total + 2 * G.leaves - 1;
  _rfcostsub(G, S, v, counts.data());
  _rfcostsub(G, S, u, counts.data());
  if (S.clustersize(G.rootmap) == static_cast<int>(G.getrootcluster(v).size()))
    counts[G.rootmap]++;
  for (int k : counts)
    if (k) result -= k + 1;
  return result;
}

static int _rfocostsub(UnrootedTree& G, RootedTree& S, short v) {
  int count = 0;
  for (short x : matchednodes(G, S, v))
    if (x >= G.leaves) count++;
  return count;
}

int rfocost(UnrootedTree& G, RootedTree& S, short v) {
  return _rfocostsub(G, S, v) + _rfocostsub(G, S, G.parent[v]);
}

short maxdist(UnrootedTree& G, short v) {
  int height = 0;
  std::vector<std::pair<short, int>> stack{{v, 0}};
  while (!stack.empty()) {
    auto [x, d] = stack.back();
    stack.pop_back();
    height = std::max(height, d);
    if (x >= G.leaves) {
      short a, b;
      G.getchildren(x, a, b);
      stack.push_back({a, d + 1});
      stack.push_back({b, d + 1});
    }
  }
  return static_cast<short>(height);
}
