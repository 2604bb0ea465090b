#include <algorithm>
#include <vector>

#include "reconcile/genewalk.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// Pending nodes of the iterative _setmaps; kept between calls so mapping does not allocate,
// one per thread since gene trees are mapped on several at once.
static thread_local std::vector<short> pending;

void UnrootedTree::setlcamappings(RootedTree& S) {
  if (!lcamap) lcamap = new short[total];
  std::fill(lcamap, lcamap + total, -1);
  for (int i = 0; i < leaves; i++) lcamap[i] = S.findlab(lab[i]);
  for (int i = leaves; i < total; i++) _setmaps(S, static_cast<short>(i));
  rootmap = S.lca(lcamap[0], lcamap[parent[0]]);
}

short UnrootedTree::_setmaps(RootedTree& S, short v) {
  if (lcamap[v] != -1) return lcamap[v];
  pending.clear();
  pending.push_back(v);
  while (!pending.empty()) {
    short x = pending.back();
    if (x < leaves) {
      lcamap[x] = S.findlab(lab[x]);
      pending.pop_back();
      continue;
    }
    short a, b;
    getchildren(x, a, b);
    if (lcamap[b] == -1) {
      pending.push_back(b);
    } else if (lcamap[a] == -1) {
      pending.push_back(a);
    } else {
      lcamap[x] = S.lca(lcamap[a], lcamap[b]);
      pending.pop_back();
    }
  }
  return lcamap[v];
}

void UnrootedTree::clean(int) {
  if (lcamap) std::fill(lcamap, lcamap + total, -1);
  if (dupcnt) {
    std::fill(dupcnt, dupcnt + leaves, 0);
    std::fill(dupcnt + leaves, dupcnt + total, -1);
    std::fill(losscnt, losscnt + leaves, 0);
    std::fill(losscnt + leaves, losscnt + total, -1);
  }
}

std::set<short> UnrootedTree::getcluster(short v) {
  std::set<short> cluster;
  std::vector<short> order;
  subtreepreorder(*this, v, order);
  for (short x : order)
    if (x < leaves) cluster.insert(lab[x]);
  return cluster;
}

// The clusters of v and of its opposite together hold every leaf.
std::set<short> UnrootedTree::getrootcluster(short) { return std::set<short>(lab, lab + leaves); }

short UnrootedTree::clustersize(short v) {
  if (v < leaves) return 1;
  return static_cast<short>(getcluster(v).size());
}
