#include <algorithm>
#include <vector>

#include "search/postorder.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// Marks of nnimark: bit 1 maps to a, bit 2 maps to c, bit 4 speciation, bit 8 duplication.
enum : unsigned char { UNSET = 0, ASPEC = 5, ADUP = 9, CSPEC = 6, CDUP = 10 };

short RootedTree::_nniupdate(UnrootedTree* g, short v, short a, short c) {
  if (nnimark[v] != UNSET) return (nnimark[v] & 1) ? a : c;
  short u, w;
  g->getchildren(v, u, w);
  short m1 = g->lcamap[u], m2 = g->lcamap[w];
  if (m1 == a)
    m1 = _nniupdate(g, u, a, c);
  else if (m1 == c)
    m1 = a;
  if (m2 == a)
    m2 = _nniupdate(g, w, a, c);
  else if (m2 == c)
    m2 = a;
  if (m1 == a || m2 == a) {
    nnimark[v] = ADUP;
    return a;
  }
  if (isparent(c, m1, a) != isparent(c, m2, a)) {
    nnimark[v] = ASPEC;
    return a;
  }
  nnimark[v] = (m1 == c || m2 == c) ? CDUP : CSPEC;
  return c;
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

int RootedTree::nni(short a, int variant, std::vector<UnrootedTree*>& genes, DlCost& delta,
                    int& /*info*/, std::string& /*text*/) {
  const int cslot = variant == 0 ? a : a - leaves;
  const int zslot = variant == 0 ? a - leaves : a;
  const short c = son[cslot];
  if (c < leaves) return 0;
  delta = DlCost(0, 0);
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

  for (size_t gi = 0; gi < genes.size(); gi++) {
    UnrootedTree* g = genes[gi];
    short* dup = mdup[gi];
    short* sphead = mspec[gi];
    short* out = mout[gi];
    short* dupnext = g->dupnext;
    short* specnext = g->specnext;
    short* lcamap = g->lcamap;
    unsigned char* mark = nnimark;

    // Only a gene tree that maps to c or above it can change.
    const short top = g->rootmap;
    if (!onpath[top]) continue;
    const bool recompute = top == c || top == a;

    // Nodes mapped to c move to a with their class; nodes mapped to a are classified anew.
    int clen = 0;
    for (short v = sphead[c]; v != -1; v = specnext[v], clen++) mark[v] = ASPEC;
    for (short v = dup[c]; v != -1; v = dupnext[v], clen++) mark[v] = ADUP;
    for (short v = sphead[a]; v != -1; v = specnext[v]) mark[v] = UNSET;
    for (short v = dup[a]; v != -1; v = dupnext[v]) mark[v] = UNSET;
    for (short v = sphead[a]; v != -1; v = specnext[v])
      if (mark[v] == UNSET) _nniupdate(g, v, a, c);
    for (short v = dup[a]; v != -1; v = dupnext[v])
      if (mark[v] == UNSET) _nniupdate(g, v, a, c);

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
      delta = delta + d;
      continue;
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
    for (short s = c;; s = parent[s]) {
      short old = out[s];
      out[s] = static_cast<short>(std::max(0, out[son[s - leaves]] + out[son[s]] - length(s)));
      if (s == root || (s != c && s != a && out[s] == old)) break;
    }
    // Every directed node maps into the subtree of the new rootmap.
    speciespostorder(*this, g->rootmap, [&](short s, int) {
      short nd = 0, ns = 0;
      for (short v = dup[s]; v != -1; v = dupnext[v]) nd++;
      for (short v = sphead[s]; v != -1; v = specnext[v]) ns++;
      nnidupcount[s] = nd;
      nnispeccount[s] = ns;
    });
    DlCost cost(0, 0);
    outdlcost(g->rootmap, nnidupcount, nnispeccount, cost, static_cast<short>(g->leaves));
    delta = delta + DlCost(cost.dup - g->curcost.dup, cost.loss - g->curcost.loss);
    g->curcost = cost;
  }
  for (short s = c;; s = parent[s]) {
    onpath[s] = 0;
    if (s == root) break;
  }
  return 1;
}
