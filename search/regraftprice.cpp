#include "search/regraftprice.h"

#include <algorithm>
#include <cstring>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// Which species of the pruned subtree a gene node holds: bit 1 some of P's, bit 2 some others.
enum : unsigned char { INP = 1, OUTP = 2, MIXED = 3 };

inline void children(const UnrootedTree* G, short v, short& a, short& b) {
  const int j = (v - G->leaves) % 3;
  a = G->parent[v + offset[2 * j]];
  b = G->parent[v + offset[2 * j + 1]];
}

}  // namespace

void PricingCounters::size(int species, int genenodes) {
  if (static_cast<int>(mass.size()) != species) {
    mass.assign(species, 0);
    mixed.assign(species, 0);
    moved.assign(species, 0);
    dup.assign(species, 0);
  }
  if (static_cast<int>(image.size()) < genenodes) {
    image.resize(genenodes);
    kind.resize(genenodes);
    stack.reserve(genenodes + 2);
  }
}

// Rooting and summed weights of one gene tree: leaves +1, inner nodes -1, the root -2 more.
void RegraftPricer::familymass(int g, long u, PricingCounters& c) {
  UnrootedTree* G = genes[g];
  const short r = G->findoptimal(W);
  families[g].rooting = r;
  c.mass[G->rootmap] -= 2 * u;
  c.stack.clear();
  c.stack.push_back(r);
  c.stack.push_back(G->parent[r]);
  while (!c.stack.empty()) {
    const short v = c.stack.back();
    c.stack.pop_back();
    if (v < G->leaves) {
      c.mass[G->lcamap[v]] += u;
      continue;
    }
    c.mass[G->lcamap[v]] -= u;
    short a, b;
    children(G, v, a, b);
    c.stack.push_back(a);
    c.stack.push_back(b);
  }
}

void RegraftPricer::refresh() {
  const int n = W.total;
  seenson.assign(W.son, W.son + n);
  seenparent.assign(W.parent, W.parent + n);
  seenlab.assign(W.lab, W.lab + W.leaves);
  seenroot = W.root;
  pre.assign(n, 0);
  end.assign(n, 0);
  bypre.assign(n, 0);
  // Preorder by parent links: a node's interval closes when the walk leaves it.
  int k = 0;
  short v = W.root;
  for (;;) {
    pre[v] = k;
    bypre[k++] = v;
    if (v >= W.leaves) {
      v = W.son[v - W.leaves];
      continue;
    }
    end[v] = k;
    while (v != W.root && v == W.son[W.parent[v]]) {
      v = W.parent[v];
      end[v] = k;
    }
    if (v == W.root) break;
    v = W.son[W.parent[v]];
  }
  families.resize(genes.size());
  const GeneShare& share = geneshare(genes);
  counters.resize(share.parts());
  forblocks(share, [&](int t, int lo, int hi) {
    int largest = 0;
    for (int g = lo; g < hi; g++) largest = std::max(largest, genes[g]->total);
    PricingCounters& c = counters[t];
    c.size(n, largest);
    std::fill(c.mass.begin(), c.mass.end(), 0);
    for (int g = lo; g < hi; g++) familymass(g, static_cast<long>(share.unitsof(g)), c);
  });
  mass.assign(n, 0);
  for (const PricingCounters& c : counters)
    for (int s = 0; s < n; s++) mass[s] += c.mass[s];
  if (splitacrossprocesses()) sumoverprocesses(mass);
}

short RegraftPricer::lca(short a, short b) const {
  while (!inside(b, a)) a = W.parent[a];
  return a;
}

// The mixed nodes of one gene tree, children first: each leaves its weight at its image in the
// rest of the tree and takes it off its image in the tree, and adds the duplication changes.
void RegraftPricer::familypass(int g, long units, PricingCounters& c) {
  UnrootedTree* G = genes[g];
  const short top = G->rootmap;
  if (!inside(p, top)) return;  // every node keeps its image; the masses price it
  const short* map = G->lcamap;
  auto onpath = [&](short v) { return inside(p, map[v]); };  // P's parent or above
  auto info = [&](short v, unsigned char& k, short& m) {
    if (onpath(v)) {
      k = c.kind[v];
      m = c.image[v];
    } else if (inside(map[v], P)) {
      k = INP;
      m = -1;
    } else {
      k = OUTP;
      m = map[v];
    }
  };
  const short L = static_cast<short>(W.leaves);
  // Node with children a and b, weight w, image M in the tree: its kind and image afterwards.
  auto combine = [&](short a, short b, int w, short M, unsigned char& k, short& m) {
    unsigned char k1, k2;
    short m1, m2;
    info(a, k1, m1);
    info(b, k2, m2);
    k = k1 | k2;
    if (k != MIXED) {
      m = M;
      return;
    }
    m = k1 == INP ? m2 : k2 == INP ? m1 : lca(m1, m2);
    c.mixed[m] += w * units;
    c.moved[M] -= w * units;
    if (k1 != MIXED && k2 != MIXED) {
      // One side in P, one outside: a duplication wherever P goes strictly below m.
      if (m >= L) {
        c.dup[restchild(W.son[m - L])] += units;
        c.dup[restchild(W.son[m])] += units;
      }
    } else if (k1 == OUTP || k2 == OUTP) {
      // A mixed child at m1 beside one outside at m2: a duplication unless P goes below m
      // on m1's side.
      const short mm = k1 == MIXED ? m1 : m2, mo = k1 == MIXED ? m2 : m1;
      if (m != mm && m != mo) {
        const short left = W.son[m - L];
        c.dup[restchild(inside(mm, left) ? left : W.son[m])] -= units;
      }
    }
    // Two mixed children, or one mixed and one in P: a duplication everywhere.
  };
  const short r = families[g].rooting, u = G->parent[r];
  c.stack.clear();
  if (onpath(r)) c.stack.push_back(r);
  if (onpath(u)) c.stack.push_back(u);
  while (!c.stack.empty()) {
    short v = c.stack.back();
    if (v >= 0) {
      c.stack.back() = static_cast<short>(~v);  // v again after its children
      short a, b;
      children(G, v, a, b);
      if (onpath(a)) c.stack.push_back(a);
      if (onpath(b)) c.stack.push_back(b);
      continue;
    }
    c.stack.pop_back();
    v = static_cast<short>(~v);
    c.visited++;
    short a, b;
    children(G, v, a, b);
    combine(a, b, -1, map[v], c.kind[v], c.image[v]);
  }
  unsigned char k;
  short m;
  combine(r, u, -2, top, k, m);
}

void RegraftPricer::price(short pruned, DlTotal total) {
  const int n = W.total;
  if (W.root != seenroot || std::memcmp(W.son, seenson.data(), n * sizeof(short)) != 0 ||
      std::memcmp(W.parent, seenparent.data(), n * sizeof(short)) != 0 ||
      std::memcmp(W.lab, seenlab.data(), W.leaves * sizeof(short)) != 0)
    refresh();
  passes++;
  P = pruned;
  p = W.parent[P];
  const short L = static_cast<short>(W.leaves);
  e = W.son[p - L] == P ? W.son[p] : W.son[p - L];
  const short top = p == W.root ? e : W.root;

  // The rest of the tree, parents first.
  order.clear();
  up.assign(n, -1);
  depth.assign(n, 0);
  order.push_back(top);
  for (size_t i = 0; i < order.size(); i++) {
    const short x = order[i];
    if (x < L) continue;
    for (short ch : {W.son[x - L], W.son[x]}) {
      const short y = restchild(ch);
      up[y] = x;
      depth[y] = static_cast<short>(depth[x] + 1);
      order.push_back(y);
    }
  }
  rank.assign(n, 0);
  for (size_t i = 0; i < order.size(); i++) rank[order[i]] = static_cast<short>(i);

  const GeneShare& share = geneshare(genes);
  forblocks(share, [&](int t, int lo, int hi) {
    PricingCounters& c = counters[t];
    std::fill(c.mixed.begin(), c.mixed.end(), 0);
    std::fill(c.moved.begin(), c.moved.end(), 0);
    std::fill(c.dup.begin(), c.dup.end(), 0);
    for (int g = lo; g < hi; g++) familypass(g, static_cast<long>(share.unitsof(g)), c);
  });
  PricingCounters& sum = counters[0];
  for (size_t t = 1; t < counters.size(); t++)
    for (int s = 0; s < n; s++) {
      sum.mixed[s] += counters[t].mixed[s];
      sum.moved[s] += counters[t].moved[s];
      sum.dup[s] += counters[t].dup[s];
    }
  for (const PricingCounters& c : counters) visited += c.visited;
  for (PricingCounters& c : counters) c.visited = 0;
  if (splitacrossprocesses()) {
    std::vector<long> all(3 * n);
    std::copy(sum.mixed.begin(), sum.mixed.end(), all.begin());
    std::copy(sum.moved.begin(), sum.moved.end(), all.begin() + n);
    std::copy(sum.dup.begin(), sum.dup.end(), all.begin() + 2 * n);
    sumoverprocesses(all);
    std::copy(all.begin(), all.begin() + n, sum.mixed.begin());
    std::copy(all.begin() + n, all.begin() + 2 * n, sum.moved.begin());
    std::copy(all.begin() + 2 * n, all.end(), sum.dup.begin());
  }

  // Nodes inside P move down with it: their depth grows with the place's.
  long inP = 0;
  for (int i = pre[P]; i < end[P]; i++) inP += mass[bypre[i]];
  subB.assign(n, 0);
  subM.assign(n, 0);
  down.assign(n, 0);
  dups.assign(n, 0);
  for (short x : order) {
    subB[x] = mass[x] + sum.moved[x];
    subM[x] = sum.mixed[x];
  }
  for (size_t i = order.size(); i-- > 1;) {
    const short x = order[i];
    subB[up[x]] += subB[x];
    subM[up[x]] += subM[x];
  }
  for (short x : order) {
    const bool first = x == top;
    down[x] = (first ? 0 : down[up[x]]) + subM[x];
    dups[x] = (first ? 0 : dups[up[x]]) + sum.dup[x];
  }
  auto losses = [&](short x) { return inP * depth[x] + subB[x] + down[x] + 2 * dups[x]; };
  priced.assign(n, DlTotal(0, 0));
  const long homeloss = losses(e);
  for (short x : order)
    priced[x] = total + DlTotal(dups[x] - dups[e], losses(x) - homeloss);
}

short RegraftPricer::cheapest() const {
  short best = -1;
  for (short x : order)
    if (x != e && (best < 0 || priced[x].mut() < priced[best].mut())) best = x;
  return best;
}

std::vector<short> RegraftPricer::ranked(size_t k) const {
  std::vector<short> out;
  for (short x : order)
    if (x != e) out.push_back(x);
  k = std::min(k, out.size());
  std::partial_sort(out.begin(), out.begin() + k, out.end(), [&](short x, short y) {
    return priced[x].mut() < priced[y].mut() ||
           (priced[x].mut() == priced[y].mut() && rank[x] < rank[y]);
  });
  out.resize(k);
  return out;
}

SprPlace RegraftPricer::route(short x) const {
  SprPlace r;
  short a = e, b = x;
  while (depth[b] > depth[a]) {
    r.downs.push_back(b);
    b = up[b];
  }
  while (depth[a] > depth[b]) {
    a = up[a];
    r.ups++;
  }
  while (a != b) {
    r.downs.push_back(b);
    b = up[b];
    a = up[a];
    r.ups++;
  }
  std::reverse(r.downs.begin(), r.downs.end());
  return r;
}
