#include <algorithm>
#include <array>
#include <vector>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "search/generows.h"
#include "search/nnimove.h"
#include "trees/postorder.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// Marks of nnimark: bit 1 maps to a, bit 2 maps to c, bit 4 speciation, bit 8 duplication.
enum : unsigned char { UNSET = 0, ASPEC = 5, ADUP = 9, CSPEC = 6, CDUP = 10 };

// Children of internal directed node v; the virtual getchildren costs a call per node in the
// move's inner loop.
static inline void children(const UnrootedTree* g, short v, short& u, short& w) {
  const int j = (v - g->leaves) % 3;
  u = g->parent[v + offset[2 * j]];
  w = g->parent[v + offset[2 * j + 1]];
}

// 1 unless the parent of v maps to a or c under the old mappings; a leaf opposite has no
// parent mapping to ask for.
static int parentoutside(UnrootedTree* g, short v, short a, short c) {
  if (g->parent[v] < g->leaves) return 1;
  short p = g->dirmapparent(v);
  return p == a || p == c ? 0 : 1;
}

// Classifies the nodes of a's old lists after the move and, when asked, sums the cost change
// of each as it is classified: its children are classified first and no mapping has changed
// yet, so one pass over the lists does both.
struct Classifier {
  RootedTree& S;
  UnrootedTree* g;
  unsigned char* mark;
  short a, c;
  bool costs;
  int ddup = 0, dloss = 0;
  // When set, inside[m] says whether m is c or below c after the move, in place of asking S:
  // the move need not be made in S.
  const unsigned char* inside = nullptr;

  bool below(short m) { return inside ? inside[m] : S.isparent(c, m, a); }

  // Mapping of v after the move; mark holds the classes found so far.
  short classify(short v) {
    if (mark[v] != UNSET) return (mark[v] & 1) ? a : c;
    short u, w;
    children(g, v, u, w);
    const short o1 = g->lcamap[u], o2 = g->lcamap[w];
    short m1 = o1, m2 = o2;
    if (m1 == a)
      m1 = classify(u);
    else if (m1 == c)
      m1 = a;
    if (m2 == a)
      m2 = classify(w);
    else if (m2 == c)
      m2 = a;
    if (m1 == a || m2 == a)
      mark[v] = ADUP;
    else if (below(m1) != below(m2))
      mark[v] = ASPEC;
    else
      mark[v] = (m1 == c || m2 == c) ? CDUP : CSPEC;
    if (costs) addchange(v, o1 == a || o2 == a, o1, o2, m1, m2);
    return (mark[v] & 1) ? a : c;
  }

  // Cost change of v, a duplication before the move when wasdup; o are the children's old
  // mappings and n their new ones.
  void addchange(short v, bool wasdup, short o1, short o2, short n1, short n2) {
    const unsigned char k = mark[v];
    if (!wasdup) {
      if (k == ADUP) {
        ddup += 1;
        dloss += 2;
      } else if (k == CSPEC) {
        dloss += -2 + parentoutside(g, v, a, c);
      }
    } else if (k == ASPEC) {
      ddup -= 1;
      dloss -= 1;
    } else if (k == CDUP) {
      if ((o1 == a) != (o2 == a)) dloss -= 1;
      dloss += parentoutside(g, v, a, c);
    } else if ((n1 == a && n2 == c) || (n1 == c && n2 == a)) {
      dloss += 1;
    }
  }
};

// The nodes of one move, ((x, y), z) under a becoming ((z, x), y) with c the lower node.
struct Move {
  short a, c, x, y, z;
  const unsigned char* onpath;  // 1 on the path from c to the root
};

// Updates gene tree gi (its lists, mappings, row and cost) for a move already made in S, and
// returns its cost change. Touches only that gene tree's data and the given scratch, so the
// gene trees can be updated on several threads at once.
static DlCost movegene(RootedTree& S, const Move& m, int gi, UnrootedTree* g,
                       unsigned char* mark) {
  const short a = m.a, c = m.c, x = m.x, y = m.y, z = m.z;
  const short leaves = static_cast<short>(S.leaves);
  short* dup = S.mdup[gi];
  short* sphead = S.mspec[gi];
  short* out = S.mout[gi];
  short* dupcount = dupcounts(S, gi);
  short* speccount = speccounts(S, gi);
  short* dupnext = g->dupnext;
  short* specnext = g->specnext;
  short* lcamap = g->lcamap;

  // Only a gene tree that maps to c or above it can change.
  const short top = g->rootmap;
  if (!m.onpath[top]) return DlCost(0, 0);
  const bool recompute = top == c || top == a;

  // Nodes mapped to c move to a with their class; nodes mapped to a are classified anew.
  // Marks are UNSET between moves: each is cleared when its node is relinked.
  int clen = 0;
  for (short v = sphead[c]; v != -1; v = specnext[v], clen++) mark[v] = ASPEC;
  for (short v = dup[c]; v != -1; v = dupnext[v], clen++) mark[v] = ADUP;
  // A recomputed gene tree does not need the cost change.
  Classifier k{S, g, mark, a, c, !recompute};
  for (short v = sphead[a]; v != -1; v = specnext[v])
    if (mark[v] == UNSET) k.classify(v);
  for (short v = dup[a]; v != -1; v = dupnext[v])
    if (mark[v] == UNSET) k.classify(v);
  const int ddup = k.ddup, dloss = k.dloss + (recompute ? 0 : out[z] - out[y] + clen);

  // Relink: c's old chains, now mapped to a, become the tails of a's new lists.
  for (short v = sphead[c]; v != -1; v = specnext[v]) lcamap[v] = a, mark[v] = UNSET;
  for (short v = dup[c]; v != -1; v = dupnext[v]) lcamap[v] = a, mark[v] = UNSET;
  short aspec = sphead[c], adup = dup[c], cspec = -1, cdup = -1;
  short nadup = dupcount[c], naspec = speccount[c], ncdup = 0, ncspec = 0;
  auto place = [&](short v) {
    lcamap[v] = (mark[v] & 1) ? a : c;
    switch (mark[v]) {
      case ADUP: dupnext[v] = adup; adup = v; nadup++; break;
      case ASPEC: specnext[v] = aspec; aspec = v; naspec++; break;
      case CDUP: dupnext[v] = cdup; cdup = v; ncdup++; break;
      default: specnext[v] = cspec; cspec = v; ncspec++; break;
    }
    mark[v] = UNSET;
  };
  for (short v = sphead[a], next; v != -1; v = next) {
    next = specnext[v];
    place(v);
  }
  for (short v = dup[a], next; v != -1; v = next) {
    next = dupnext[v];
    place(v);
  }
  sphead[a] = aspec;
  dup[a] = adup;
  sphead[c] = cspec;
  dup[c] = cdup;
  dupcount[a] = nadup;
  speccount[a] = naspec;
  dupcount[c] = ncdup;
  speccount[c] = ncspec;
  out[c] = static_cast<short>(out[z] + out[x] - ncdup - ncspec);

  if (!recompute) {
    DlCost d(ddup, dloss);
    g->curcost = g->curcost + d;
    return d;
  }
  g->rootmap = (adup != -1 || aspec != -1) ? a : c;
  // The row from the root differs from the old one only at c, at a and at those ancestors
  // whose value changes in turn: every other subtree keeps its lists and its shape.
  for (short s = c;; s = S.parent[s]) {
    short old = out[s];
    out[s] = static_cast<short>(std::max(
        0, out[S.son[s - leaves]] + out[S.son[s]] - dupcount[s] - speccount[s]));
    if (s == S.root || (s != c && s != a && out[s] == old)) break;
  }
  DlCost cost(0, 0);
  S.outdlcost(g->rootmap, dupcount, speccount, cost, static_cast<short>(g->leaves));
  DlCost d(cost.dup - g->curcost.dup, cost.loss - g->curcost.loss);
  g->curcost = cost;
  return d;
}

// What pricing a gene tree under one alternative leaves for later: its cost change, or, when
// its cost must be recomputed, the counts of a and c after the move.
struct Priced {
  DlCost d = DlCost(0, 0);
  bool recompute = false;
  short dupa = 0, speca = 0, dupc = 0, specc = 0;
};

// Prices gene tree gi under both alternatives, m[0] and m[1], leaving the gene tree as it
// was: only the nodes mapped to a are classified (those mapped to c keep their class), each
// alternative with marks of its own, cleared after.
static void trygene(RootedTree& S, const Move (&m)[2], const unsigned char* const (&inside)[2],
                    int gi, UnrootedTree* g, unsigned char* const (&mark)[2],
                    std::array<Priced, 2>& p) {
  const short a = m[0].a, c = m[0].c;
  const short top = g->rootmap;
  p = {};
  if (!m[0].onpath[top]) return;
  const bool recompute = top == c || top == a;
  const short* dup = S.mdup[gi];
  const short* sphead = S.mspec[gi];
  const short* out = S.mout[gi];
  const short* dupcount = dupcounts(S, gi);
  const short* speccount = speccounts(S, gi);
  for (int k = 0; k < 2; k++) {
    Classifier q{S, g, mark[k], a, c, !recompute};
    q.inside = inside[k];
    for (short v = sphead[a]; v != -1; v = g->specnext[v])
      if (mark[k][v] == UNSET) q.classify(v);
    for (short v = dup[a]; v != -1; v = g->dupnext[v])
      if (mark[k][v] == UNSET) q.classify(v);
    p[k].d = DlCost(q.ddup, q.dloss + out[m[k].z] - out[m[k].y] + dupcount[c] + speccount[c]);
  }
  short n[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};  // ADUP, ASPEC, CDUP, CSPEC
  auto clear = [&](short v) {
    for (int k = 0; k < 2; k++) {
      const unsigned char t = mark[k][v];
      n[k][t == ADUP ? 0 : t == ASPEC ? 1 : t == CDUP ? 2 : 3]++;
      mark[k][v] = UNSET;
    }
  };
  for (short v = sphead[a]; v != -1; v = g->specnext[v]) clear(v);
  for (short v = dup[a]; v != -1; v = g->dupnext[v]) clear(v);
  if (!recompute) return;
  for (int k = 0; k < 2; k++) {
    Priced& q = p[k];
    q.recompute = true;
    q.dupa = static_cast<short>(dupcount[c] + n[k][0]);
    q.speca = static_cast<short>(speccount[c] + n[k][1]);
    q.dupc = n[k][2];
    q.specc = n[k][3];
  }
}

// The cost change of a gene tree whose cost is recomputed, under the move made in S: the
// counts of a and c as the move leaves them, for outdlcost only, then as they were.
static DlCost recomputed(RootedTree& S, short a, short c, int gi, UnrootedTree* g,
                         const Priced& p) {
  short* dupcount = dupcounts(S, gi);
  short* speccount = speccounts(S, gi);
  const short olddup[2] = {dupcount[a], dupcount[c]}, oldspec[2] = {speccount[a], speccount[c]};
  dupcount[a] = p.dupa;
  speccount[a] = p.speca;
  dupcount[c] = p.dupc;
  speccount[c] = p.specc;
  const short newtop = p.dupa + p.speca > 0 ? a : c;
  DlCost cost(0, 0);
  S.outdlcost(newtop, dupcount, speccount, cost, static_cast<short>(g->leaves));
  dupcount[a] = olddup[0];
  dupcount[c] = olddup[1];
  speccount[a] = oldspec[0];
  speccount[c] = oldspec[1];
  return DlCost(cost.dup - g->curcost.dup, cost.loss - g->curcost.loss);
}

// 1 on every node of the subtree of v.
static void markbelow(RootedTree& S, short v, unsigned char* inside) {
  speciespostorder(S, v, [&](short w, int) { inside[w] = 1; });
}

void nnitry(RootedTree& S, short a, int variant, std::vector<UnrootedTree*>& genes,
            std::vector<DlCost> (&costs)[2]) {
  const short leaves = static_cast<short>(S.leaves);
  const int cslot = variant == 0 ? a : a - leaves;
  const int zslot = variant == 0 ? a - leaves : a;
  const short c = S.son[cslot];
  const size_t ng = genes.size();
  for (auto& k : costs) k.assign(ng, DlCost(0, 0));
  if (c < leaves) {
    for (auto& k : costs)
      for (size_t g = 0; g < ng; g++) k[g] = genes[g]->curcost;
    return;
  }
  const short x = S.son[c - leaves], y = S.son[c], z = S.son[zslot];
  unsigned char* onpath = S.nnipath.data();
  for (short s = c;; s = S.parent[s]) {
    onpath[s] = 1;
    if (s == S.root) break;
  }
  // ((x, y), z) becomes ((z, x), y), or, as that move with x and y swapped, ((y, z), x).
  const Move m[2] = {{a, c, x, y, z, onpath}, {a, c, y, x, z, onpath}};
  std::vector<unsigned char> insides(2 * static_cast<size_t>(S.total), 0);
  const unsigned char* const inside[2] = {insides.data(), insides.data() + S.total};
  // c itself counts as below c: a child classified anew may map to it.
  for (int k = 0; k < 2; k++) {
    unsigned char* in = insides.data() + k * S.total;
    markbelow(S, m[k].z, in);
    markbelow(S, m[k].x, in);
    in[c] = 1;
  }
  std::vector<std::array<Priced, 2>> priced(ng);
  const GeneShare& share = geneshare(genes);
  // Two marks per node; the first block's come from here (the pool keeps none for it).
  const size_t size = static_cast<size_t>(S.nnimarksize);
  std::vector<unsigned char> firstmarks(2 * size, UNSET);
  forblocks(share, [&](int t, int lo, int hi) {
    std::vector<unsigned char>& own = t == 0 ? firstmarks : threadscratch(t).mark;
    if (own.size() < 2 * size) own.assign(2 * size, UNSET);
    unsigned char* const mark[2] = {own.data(), own.data() + size};
    for (int gi = lo; gi < hi; gi++) trygene(S, m, inside, gi, genes[gi], mark, priced[gi]);
  });
  for (int k = 0; k < 2; k++) {
    // The recomputed costs need S in the alternative's shape.
    S.parent[m[k].y] = a;
    S.parent[z] = c;
    S.son[c - leaves] = z;
    S.son[c] = m[k].x;
    S.son[zslot] = m[k].y;
    forblocks(share, [&](int, int lo, int hi) {
      for (int gi = lo; gi < hi; gi++) {
        const Priced& p = priced[gi][k];
        const DlCost d = p.recompute ? recomputed(S, a, c, gi, genes[gi], p) : p.d;
        costs[k][gi] = genes[gi]->curcost + d;
      }
    });
    S.son[c - leaves] = x;
    S.son[c] = y;
    S.son[zslot] = z;
    S.parent[x] = S.parent[y] = c;
    S.parent[z] = a;
  }
  for (short s = c;; s = S.parent[s]) {
    onpath[s] = 0;
    if (s == S.root) break;
  }
}

int RootedTree::nni(short a, int variant, std::vector<UnrootedTree*>& genes, DlTotal& delta,
                    int& /*info*/, std::string& /*text*/) {
  const int cslot = variant == 0 ? a : a - leaves;
  const int zslot = variant == 0 ? a - leaves : a;
  const short c = son[cslot];
  if (c < leaves) return 0;
  const short x = son[c - leaves], y = son[c], z = son[zslot];
  // ((x, y), z) under a becomes ((z, x), y); c keeps its slot, y takes the slot of z.
  parent[y] = a;
  parent[z] = c;
  son[c - leaves] = z;
  son[c] = x;
  son[zslot] = y;

  // Every directed node maps to rootmap or below it, so the highest node with a list on the
  // path from c to the root is the rootmap of a gene tree when that lies on the path.
  unsigned char* onpath = nnipath.data();
  for (short s = c;; s = parent[s]) {
    onpath[s] = 1;
    if (s == root) break;
  }

  // Each thread sums the changes of its block; the blocks are added in gene order.
  const Move m{a, c, x, y, z, onpath};
  const GeneShare& share = geneshare(genes);
  std::vector<DlTotal> sums(share.parts());
  forblocks(share, [&](int t, int lo, int hi) {
    unsigned char* mark = nnimark;
    if (t > 0) {
      GeneScratch& own = threadscratch(t);
      if (own.mark.size() < static_cast<size_t>(nnimarksize)) own.mark.resize(nnimarksize);
      mark = own.mark.data();
    }
    DlTotal sum;
    for (int gi = lo; gi < hi; gi++)
      sum = sum + DlTotal(movegene(*this, m, gi, genes[gi], mark), share.unitsof(gi));
    sums[t] = sum;
  });
  delta = DlTotal();
  for (const DlTotal& d : sums) delta = delta + d;
  if (splitacrossprocesses()) delta = sumoverprocesses(delta);

  for (short s = c;; s = parent[s]) {
    onpath[s] = 0;
    if (s == root) break;
  }
  return 1;
}
