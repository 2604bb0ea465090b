#include "reconcile/genewalk.h"

#include <cstdint>

#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

void subtreepreorder(UnrootedTree& G, short v, std::vector<short>& order) {
  order.clear();
  std::vector<short> stack{v};
  while (!stack.empty()) {
    short x = stack.back();
    stack.pop_back();
    order.push_back(x);
    if (x >= G.leaves) {
      short a, b;
      G.getchildren(x, a, b);
      stack.push_back(b);
      stack.push_back(a);
    }
  }
}

void childfirstorder(UnrootedTree& G, std::vector<short>& order) {
  order.clear();
  order.reserve(G.total);
  std::vector<char> done(G.total, 0);
  std::vector<short> stack;
  for (int v = 0; v < G.total; v++) {
    if (done[v]) continue;
    stack.push_back(static_cast<short>(v));
    while (!stack.empty()) {
      short x = stack.back();
      short a = -1, b = -1;
      if (x >= G.leaves) G.getchildren(x, a, b);
      if (a >= 0 && !done[a]) {
        stack.push_back(a);
      } else if (b >= 0 && !done[b]) {
        stack.push_back(b);
      } else {
        done[x] = 1;
        order.push_back(x);
        stack.pop_back();
      }
    }
  }
}

// One bit per species of G (renumbered densely), one bit row per node: a row is the union of
// its children's rows, so the whole order costs its length times the row width.
void distinctspecies(UnrootedTree& G, const std::vector<short>& order, std::vector<int>& sizes) {
  std::vector<int> dense;
  int k = 0;
  for (int i = 0; i < G.leaves; i++) {
    if (G.lab[i] >= static_cast<int>(dense.size())) dense.resize(G.lab[i] + 1, -1);
    if (dense[G.lab[i]] < 0) dense[G.lab[i]] = k++;
  }
  const size_t words = (k + 63) / 64;
  std::vector<uint64_t> bits(words * G.total, 0);
  for (short x : order) {
    uint64_t* row = &bits[words * x];
    if (x < G.leaves) {
      int s = dense[G.lab[x]];
      row[s / 64] = uint64_t(1) << (s % 64);
      sizes[x] = 1;
      continue;
    }
    short a, b;
    G.getchildren(x, a, b);
    const uint64_t* ra = &bits[words * a];
    const uint64_t* rb = &bits[words * b];
    int count = 0;
    for (size_t w = 0; w < words; w++) {
      row[w] = ra[w] | rb[w];
      count += __builtin_popcountll(row[w]);
    }
    sizes[x] = count;
  }
}

void leafcounts(RootedTree& S, std::vector<int>& counts) {
  counts.assign(S.total, 0);
  std::vector<short> stack{S.root}, order;
  while (!stack.empty()) {
    short x = stack.back();
    stack.pop_back();
    order.push_back(x);
    if (x >= S.leaves) {
      stack.push_back(S.son[x - S.leaves]);
      stack.push_back(S.son[x]);
    }
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    short x = *it;
    counts[x] = x < S.leaves ? 1 : counts[S.son[x - S.leaves]] + counts[S.son[x]];
  }
}
