#include <algorithm>
#include <vector>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "search/postorder.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// Marks of nnimark: bit 1 maps to a, bit 2 maps to c, bit 4 speciation, bit 8 duplication.
enum : unsigned char { UNSET = 0, ASPEC = 5, ADUP = 9, CSPEC = 6, CDUP = 10 };

// Classifies v, a node of a's old lists, after the move; mark holds the classes found so far.
static short reclassify(RootedTree& S, UnrootedTree* g, unsigned char* mark, short v, short a,
                        short c) {
  if (mark[v] != UNSET) return (mark[v] & 1) ? a : c;
  short u, w;
  g->getchildren(v, u, w);
  short m1 = g->lcamap[u], m2 = g->lcamap[w];
  if (m1 == a)
    m1 = reclassify(S, g, mark, u, a, c);
  else if (m1 == c)
    m1 = a;
  if (m2 == a)
    m2 = reclassify(S, g, mark, w, a, c);
  else if (m2 == c)
    m2 = a;
  if (m1 == a || m2 == a) {
    mark[v] = ADUP;
    return a;
  }
  if (S.isparent(c, m1, a) != S.isparent(c, m2, a)) {
    mark[v] = ASPEC;
    return a;
  }
  mark[v] = (m1 == c || m2 == c) ? CDUP : CSPEC;
  return c;
}

short RootedTree::_nniupdate(UnrootedTree* g, short v, short a, short c) {
  return reclassify(*this, g, nnimark, v, a, c);
}

// 1 unless the parent of v maps to a or c under the old mappings; a leaf opposite has no
// parent mapping to ask for.
static int parentoutside(UnrootedTree* g, short v, short a, short c) {
  if (g->parent[v] < g->leaves) return 1;
  short p = g->dirmapparent(v);
  return p == a || p == c ? 0 : 1;
}

// Mapping of child u after the move, from its old mapping. Only nodes of the lists of a and c
// carry marks of this move; any other child maps into x, y or z, neither a nor c.
static short newmapping(UnrootedTree* g, const unsigned char* mark, short u, short a, short c) {
  short m = g->lcamap[u];
  if (m == a) return (mark[u] & 1) ? a : c;
  if (m == c) return a;
  return -1;
}

// The nodes of one move, ((x, y), z) under a becoming ((z, x), y) with c the lower node.
struct Move {
  short a, c, x, y, z;
  const unsigned char* onpath;  // 1 on the path from c to the root
};

// Updates gene tree gi (its lists, mappings, row and cost) for a move already made in S, and
// returns its cost change. Touches only that gene tree's data and the given scratch, so the
// gene trees can be updated on several threads at once.
static DlCost movegene(RootedTree& S, const Move& m, int gi, UnrootedTree* g,
                       unsigned char* mark, short* dupcount, short* speccount) {
  const short a = m.a, c = m.c, x = m.x, y = m.y, z = m.z;
  const short leaves = static_cast<short>(S.leaves);
  short* dup = S.mdup[gi];
  short* sphead = S.mspec[gi];
  short* out = S.mout[gi];
  short* dupnext = g->dupnext;
  short* specnext = g->specnext;
  short* lcamap = g->lcamap;

  // Only a gene tree that maps to c or above it can change.
  const short top = g->rootmap;
  if (!m.onpath[top]) return DlCost(0, 0);
  const bool recompute = top == c || top == a;

  // Nodes mapped to c move to a with their class; nodes mapped to a are classified anew.
  int clen = 0;
  for (short v = sphead[c]; v != -1; v = specnext[v], clen++) mark[v] = ASPEC;
  for (short v = dup[c]; v != -1; v = dupnext[v], clen++) mark[v] = ADUP;
  for (short v = sphead[a]; v != -1; v = specnext[v]) mark[v] = UNSET;
  for (short v = dup[a]; v != -1; v = dupnext[v]) mark[v] = UNSET;
  for (short v = sphead[a]; v != -1; v = specnext[v])
    if (mark[v] == UNSET) reclassify(S, g, mark, v, a, c);
  for (short v = dup[a]; v != -1; v = dupnext[v])
    if (mark[v] == UNSET) reclassify(S, g, mark, v, a, c);

  // Cost change from the old lists and mappings; a recomputed gene tree does not need it.
  int ddup = 0, dloss = 0;
  if (!recompute) {
    dloss = out[z] - out[y] + clen;
    for (short v = sphead[a]; v != -1; v = specnext[v]) {
      if (mark[v] == ADUP) {
        ddup += 1;
        dloss += 2;
      } else if (mark[v] == CSPEC) {
        dloss += -2 + parentoutside(g, v, a, c);
      }
    }
    for (short v = dup[a]; v != -1; v = dupnext[v]) {
      short u, w;
      g->getchildren(v, u, w);
      if (mark[v] == ASPEC) {
        ddup -= 1;
        dloss -= 1;
      } else if (mark[v] == CDUP) {
        if ((lcamap[u] == a) != (lcamap[w] == a)) dloss -= 1;
        dloss += parentoutside(g, v, a, c);
      } else {
        short n1 = newmapping(g, mark, u, a, c), n2 = newmapping(g, mark, w, a, c);
        if ((n1 == a && n2 == c) || (n1 == c && n2 == a)) dloss += 1;
      }
    }
  }

  // Relink: c's old chains, now mapped to a, become the tails of a's new lists.
  for (short v = sphead[c]; v != -1; v = specnext[v]) lcamap[v] = a;
  for (short v = dup[c]; v != -1; v = dupnext[v]) lcamap[v] = a;
  short aspec = sphead[c], adup = dup[c], cspec = -1, cdup = -1;
  int newclen = 0;
  auto place = [&](short v) {
    lcamap[v] = (mark[v] & 1) ? a : c;
    switch (mark[v]) {
      case ADUP: dupnext[v] = adup; adup = v; break;
      case ASPEC: specnext[v] = aspec; aspec = v; break;
      case CDUP: dupnext[v] = cdup; cdup = v; newclen++; break;
      default: specnext[v] = cspec; cspec = v; newclen++; break;
    }
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
  out[c] = static_cast<short>(out[z] + out[x] - newclen);

  if (!recompute) {
    DlCost d(ddup, dloss);
    g->curcost = g->curcost + d;
    return d;
  }
  g->rootmap = (adup != -1 || aspec != -1) ? a : c;
  // The row from the root differs from the old one only at c, at a and at those ancestors
  // whose value changes in turn: every other subtree keeps its lists and its shape.
  auto length = [&](short s) {
    int n = 0;
    for (short v = dup[s]; v != -1; v = dupnext[v]) n++;
    for (short v = sphead[s]; v != -1; v = specnext[v]) n++;
    return n;
  };
  for (short s = c;; s = S.parent[s]) {
    short old = out[s];
    out[s] = static_cast<short>(
        std::max(0, out[S.son[s - leaves]] + out[S.son[s]] - length(s)));
    if (s == S.root || (s != c && s != a && out[s] == old)) break;
  }
  // Every directed node maps into the subtree of the new rootmap.
  speciespostorder(S, g->rootmap, [&](short s, int) {
    short nd = 0, ns = 0;
    for (short v = dup[s]; v != -1; v = dupnext[v]) nd++;
    for (short v = sphead[s]; v != -1; v = specnext[v]) ns++;
    dupcount[s] = nd;
    speccount[s] = ns;
  });
  DlCost cost(0, 0);
  S.outdlcost(g->rootmap, dupcount, speccount, cost, static_cast<short>(g->leaves));
  DlCost d(cost.dup - g->curcost.dup, cost.loss - g->curcost.loss);
  g->curcost = cost;
  return d;
}

int RootedTree::nni(short a, int variant, std::vector<UnrootedTree*>& genes, DlCost& delta,
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
  std::vector<DlCost> sums(share.parts(), DlCost(0, 0));
  forblocks(share, [&](int t, int lo, int hi) {
    unsigned char* mark = nnimark;
    short* dupcount = nnidupcount;
    short* speccount = nnispeccount;
    if (t > 0) {
      GeneScratch& own = threadscratch(t);
      if (own.mark.size() < static_cast<size_t>(nnimarksize)) own.mark.resize(nnimarksize);
      if (own.dupcount.size() < static_cast<size_t>(total)) {
        own.dupcount.resize(total);
        own.speccount.resize(total);
      }
      mark = own.mark.data();
      dupcount = own.dupcount.data();
      speccount = own.speccount.data();
    }
    DlCost sum(0, 0);
    for (int gi = lo; gi < hi; gi++)
      sum = sum + movegene(*this, m, gi, genes[gi], mark, dupcount, speccount);
    sums[t] = sum;
  });
  delta = DlCost(0, 0);
  for (const DlCost& d : sums) delta = delta + d;
  if (splitacrossprocesses()) delta = sumoverprocesses(delta);

  for (short s = c;; s = parent[s]) {
    onpath[s] = 0;
    if (s == root) break;
  }
  return 1;
}
