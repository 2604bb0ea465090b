#include <algorithm>
#include <vector>

#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// Pending nodes of the iterative _dlcostsub; kept between calls so costing does not allocate,
// one per thread since gene trees are costed on several at once.
static thread_local std::vector<short> pending;

// Member of x's triple at offset[2j + k]: k = 0 the first sibling, k = 1 the second.
static short sibling(const UnrootedTree& G, short x, int k) {
  int j = (x - G.leaves) % 3;
  return static_cast<short>(x + offset[2 * j + k]);
}

DlCost UnrootedTree::dlcost(RootedTree& S, short v) {
  short u = parent[v];
  _dlcostsub(S, v);
  _dlcostsub(S, u);
  short m = lcamap[v], mu = lcamap[u];
  long dups = static_cast<long>(dupcnt[v]) + dupcnt[u] + (m == rootmap || mu == rootmap ? 1 : 0);
  long losses = static_cast<long>(losscnt[v]) + losscnt[u] + S.getlosses(rootmap, mu, m);
  return DlCost(dups, losses);
}

int UnrootedTree::_dlcostsub(RootedTree& S, short v) {
  if (!dupcnt) {
    // Leaves hold 0, internal nodes -1 until computed.
    dupcnt = new int[total];
    losscnt = new int[total];
    std::fill(dupcnt, dupcnt + leaves, 0);
    std::fill(dupcnt + leaves, dupcnt + total, -1);
    std::fill(losscnt, losscnt + leaves, 0);
    std::fill(losscnt + leaves, losscnt + total, -1);
  }
  if (dupcnt[v] >= 0) return dupcnt[v];
  pending.clear();
  pending.push_back(v);
  while (!pending.empty()) {
    short x = pending.back();
    short a, b;
    getchildren(x, a, b);
    if (dupcnt[a] < 0) {
      pending.push_back(a);
    } else if (dupcnt[b] < 0) {
      pending.push_back(b);
    } else {
      short m = lcamap[x], ma = lcamap[a], mb = lcamap[b];
      dupcnt[x] = dupcnt[a] + dupcnt[b] + (m == ma || m == mb ? 1 : 0);
      losscnt[x] = losscnt[a] + losscnt[b] + S.getlosses(m, ma, mb);
      pending.pop_back();
    }
  }
  return dupcnt[v];
}

// A directed walk towards the largest subtree that does not map to the root's image; the
// tie order (the node, then its siblings in offset order) decides the printed rooting.
short UnrootedTree::findoptimal(RootedTree& S) {
  const short R = rootmap;
  short v = inroot;
  if (v < leaves) v = parent[v];
  if (R < S.leaves) return v;
  bool start = true;
  if (lcamap[v] == R) {
    short s1 = sibling(*this, v, 0), s2 = sibling(*this, v, 1);
    if (lcamap[s1] != R)
      v = s1;
    else if (lcamap[s2] != R)
      v = s2;
    else
      start = false;
  }
  if (start) {
    while (parent[v] >= leaves) {
      short w = parent[v];
      short s1 = sibling(*this, w, 0), s2 = sibling(*this, w, 1);
      if (lcamap[s1] != R) {
        v = s1;
      } else if (lcamap[s2] != R) {
        v = s2;
      } else {
        v = w;
        break;
      }
    }
    if (lcamap[v] != R) return v;
  }
  if (lcamap[parent[v]] == R) return v;
  for (int k = 0; k < 2; k++) {
    short s = sibling(*this, v, k);
    if (lcamap[parent[s]] == R) return s;
  }
  return v;
}

void UnrootedTree::preparemaplist(short* duphead, short* spechead, short* dupcount,
                                  short* speccount, int alloc) {
  if (alloc) {
    delete[] dupnext;
    delete[] specnext;
    dupnext = new short[total];
    specnext = new short[total];
  }
  for (int i = 0; i < total; i++) {
    short m = lcamap[i];
    bool speciation = i < leaves;
    if (!speciation) {
      short a, b;
      getchildren(static_cast<short>(i), a, b);
      speciation = lcamap[a] != m && lcamap[b] != m;
    }
    if (speciation) {
      speccount[m]++;
      specnext[i] = spechead[m];
      spechead[m] = static_cast<short>(i);
      dupnext[i] = -1;
    } else {
      dupnext[i] = duphead[m];
      duphead[m] = static_cast<short>(i);
      dupcount[m]++;
      specnext[i] = -1;
    }
  }
}

short UnrootedTree::dirmapparent(short v) {
  short u = parent[v];
  for (int k = 0; k < 2; k++) {
    short m = lcamap[sibling(*this, u, k)];
    if (m != rootmap) return m;
  }
  return -1;
}
