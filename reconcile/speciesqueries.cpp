#include <algorithm>
#include <vector>

#include "trees/rootedtree.h"

// Species trees can be caterpillars 15000 deep, so the walks below step through the tree by
// its parent links instead of recursing.

// Node after x in pre-order (left subtree first) within the subtree of top; -1 at the end.
static short nextpreorder(const RootedTree& S, short x, short top) {
  if (x >= S.leaves) return S.son[x - S.leaves];
  while (x != top && S.son[S.parent[x]] == x) x = S.parent[x];
  if (x == top) return -1;
  return S.son[S.parent[x]];
}

void RootedTree::setdepth(short, short) {
  if (!depth) depth = new short[total];
  depth[root] = 0;
  for (short x = nextpreorder(*this, root, root); x != -1; x = nextpreorder(*this, x, root))
    depth[x] = static_cast<short>(depth[parent[x]] + 1);
}

void RootedTree::initlca() {
  setlevel(root);
  initlcatab();
}

// Fills the table row by row in a pre-order. row[] holds the LCA of the current node with every
// node: entering child v of p, the nodes below v get v and the rest keep what they had for p.
// Entering the second child, the first one's subtree still holds values from inside it and is
// set back to p; visiting the larger child second keeps that repair small. Total work is the
// size of the table plus the sum of subtree sizes.
void RootedTree::initlcatab() {
  if (!lcatab) {
    lcatab = new short*[total];
    lcatab[0] = nullptr;
    for (int i = 1; i < total; i++) lcatab[i] = new short[i];
  }
  std::vector<short> pre;
  pre.reserve(total);
  for (short x = root; x != -1; x = nextpreorder(*this, x, root)) pre.push_back(x);
  std::vector<int> size(total), first(total);
  for (int k = total - 1; k >= 0; k--) {
    short x = pre[k];
    size[x] = x < leaves ? 1 : 1 + size[son[x - leaves]] + size[son[x]];
  }
  pre.clear();
  std::vector<short> stack{root};
  while (!stack.empty()) {
    short x = stack.back();
    stack.pop_back();
    first[x] = static_cast<int>(pre.size());
    pre.push_back(x);
    if (x < leaves) continue;
    short a = son[x - leaves], b = son[x];
    if (size[a] > size[b]) std::swap(a, b);
    stack.push_back(b);
    stack.push_back(a);
  }
  std::vector<short> row(total, root);
  auto paint = [&](short x, short value) {
    for (int k = first[x], end = first[x] + size[x]; k < end; k++) row[pre[k]] = value;
  };
  for (short v : pre) {
    if (v != root) {
      short p = parent[v];
      short w = son[p] == v ? son[p - leaves] : son[p];
      if (first[w] < first[v]) paint(w, p);
      paint(v, v);
    }
    if (v > 0) std::copy(row.begin(), row.begin() + v, lcatab[v]);
  }
}

short RootedTree::_lca(short a, short b) {
  // Both nodes climb only once their level is passed, so neither overtakes the LCA.
  for (int i = 0;; i++) {
    if (a == b) return a;
    if (a == root || b == root) return root;
    if (level[a] == i) a = parent[a];
    if (level[b] == i) b = parent[b];
  }
}

short RootedTree::lca(short a, short b) {
  if (a == b) return a;
  if (!lcatab) initlca();
  return a > b ? lcatab[a][b] : lcatab[b][a];
}

// b must be a or an ancestor of a; otherwise -1 (the walk would run past the root).
int RootedTree::dist(short a, short b) {
  int steps = 0;
  while (a != b) {
    if (a == root) return -1;
    a = parent[a];
    steps++;
  }
  return steps;
}

int RootedTree::getlosses(short m, short c1, short c2) {
  if (m == c2) return depth[c1] - depth[m];
  if (m == c1) return depth[c2] - depth[m];
  return depth[c1] + depth[c2] - 2 * depth[m] - 2;
}

int RootedTree::isparent(short a, short x, short b) {
  while (true) {
    if (x == a) return 1;
    if (x == root) return 0;
    x = parent[x];
    if (x == b) return 0;
  }
}

short RootedTree::clustersize(short v) {
  int count = 0;
  for (short x = v; x != -1; x = nextpreorder(*this, x, v))
    if (x < leaves) count++;
  return static_cast<short>(count);
}
