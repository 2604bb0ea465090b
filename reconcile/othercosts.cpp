#include <algorithm>
#include <vector>

#include "reconcile/genewalk.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// These costs are not memoised: each call walks its subtree (the rooting report keeps its own
// tables). The walks are iterative, since gene trees can be thousands of nodes deep.

int UnrootedTree::_dccostsub(RootedTree& S, short v) {
  std::vector<short> order;
  subtreepreorder(*this, v, order);
  int sum = 0;
  for (short x : order) {
    if (x < leaves) continue;
    short a, b;
    getchildren(x, a, b);
    sum += S.dist(lcamap[a], lcamap[x]) + S.dist(lcamap[b], lcamap[x]);
  }
  return sum;
}

int UnrootedTree::dccost(RootedTree& S, short v) {
  short u = parent[v];
  return S.dist(lcamap[u], rootmap) + S.dist(lcamap[v], rootmap) + _dccostsub(S, v) +
         _dccostsub(S, u);
}

int UnrootedTree::_spcostsub(RootedTree&, short v) {
  std::vector<short> order;
  subtreepreorder(*this, v, order);
  int count = 0;
  for (short x : order) {
    if (x < leaves) continue;
    short a, b;
    getchildren(x, a, b);
    if (lcamap[x] != lcamap[a] && lcamap[x] != lcamap[b]) count++;
  }
  return count;
}

int UnrootedTree::spcost(RootedTree& S, short v) {
  short u = parent[v];
  return _spcostsub(S, v) + _spcostsub(S, u) +
         (lcamap[v] != rootmap && lcamap[u] != rootmap ? 1 : 0);
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

void UnrootedTree::_rfcostsub(RootedTree& S, short v, int* counts) {
  for (short x : matchednodes(*this, S, v)) counts[lcamap[x]]++;
}

int UnrootedTree::rfcost(RootedTree& S, short v) {
  short u = parent[v];
  std::vector<int> counts(S.total, 0);
  int result = S.total + 2 * leaves - 1;
  _rfcostsub(S, v, counts.data());
  _rfcostsub(S, u, counts.data());
  if (S.clustersize(rootmap) == static_cast<int>(getrootcluster(v).size())) counts[rootmap]++;
  for (int k : counts)
    if (k) result -= k + 1;
  return result;
}

int UnrootedTree::_rfocostsub(RootedTree& S, short v) {
  int count = 0;
  for (short x : matchednodes(*this, S, v))
    if (x >= leaves) count++;
  return count;
}

int UnrootedTree::rfocost(RootedTree& S, short v) {
  return _rfocostsub(S, v) + _rfocostsub(S, parent[v]);
}

short UnrootedTree::_maxdist(short v) {
  int height = 0;
  std::vector<std::pair<short, int>> stack{{v, 0}};
  while (!stack.empty()) {
    auto [x, d] = stack.back();
    stack.pop_back();
    height = std::max(height, d);
    if (x >= leaves) {
      short a, b;
      getchildren(x, a, b);
      stack.push_back({a, d + 1});
      stack.push_back({b, d + 1});
    }
  }
  return static_cast<short>(height);
}
