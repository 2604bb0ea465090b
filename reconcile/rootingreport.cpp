#include <algorithm>
#include <vector>

#include "reconcile/genewalk.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

// Cost codes of the rooting report (the -X names).
enum { CODEDL = 0, CODED = 1, CODES = 2, CODEDC = 10, CODERF = 20, CODERFO = 22, CODERFFD = 23,
       CODEL = 30, CODET = 100 };

static short sibling(const UnrootedTree& G, short x, int k) {
  int j = (x - G.leaves) % 3;
  return static_cast<short>(x + offset[2 * j + k]);
}

// Scores of the costs that add up over subtrees: a table per directed node, filled children
// first, so every rooting costs a constant instead of a walk of the tree.
static void additivescores(UnrootedTree& G, RootedTree& S, int code, long* score) {
  if (!S.depth) S.setdepth(-1, 0);
  const short* M = G.lcamap;
  const short R = G.rootmap;
  std::vector<short> order;
  childfirstorder(G, order);
  std::vector<int> sizes(G.total), below;
  if (code == CODERFO) {
    distinctspecies(G, order, sizes);
    leafcounts(S, below);
  }
  std::vector<long> sub(G.total, 0);
  for (short x : order) {
    if (x < G.leaves) continue;
    short a, b;
    G.getchildren(x, a, b);
    long own;
    if (code == CODES)
      own = M[x] != M[a] && M[x] != M[b] ? 1 : 0;
    else if (code == CODEDC)
      own = 2L * -S.depth[M[x]] + S.depth[M[a]] + S.depth[M[b]];
    else
      own = sizes[x] == below[M[x]] ? 1 : 0;
    sub[x] = sub[a] + sub[b] + own;
  }
  for (int v = 0; v < G.total; v++) {
    short u = G.parent[v];
    long both = sub[v] + sub[u];
    if (code == CODES)
      score[v] = both + (M[v] != R && M[u] != R ? 1 : 0);
    else if (code == CODEDC)
      score[v] = both + S.depth[M[v]] + S.depth[M[u]] - 2L * S.depth[R];
    else
      score[v] = static_cast<long>(S.leaves) + G.leaves - 2 * both - 4;
  }
}

// Robinson-Foulds scores of every rooting. Moving the root to a neighbouring edge swaps one
// member of one triple in the rooted tree, so a walk over the edges keeps the counts of
// matched clusters per species node up to date in constant time per rooting.
static void rfscores(UnrootedTree& G, RootedTree& S, int code, long* score) {
  const short* M = G.lcamap;
  std::vector<short> order;
  childfirstorder(G, order);
  std::vector<int> sizes(G.total), below;
  distinctspecies(G, order, sizes);
  leafcounts(S, below);
  std::vector<char> match(G.total);
  for (int x = 0; x < G.total; x++) match[x] = sizes[x] == below[M[x]];

  std::vector<int> count(S.total, 0);
  long matched = 0, distinct = 0;
  auto add = [&](short x) {
    if (!match[x]) return;
    matched++;
    if (count[M[x]]++ == 0) distinct++;
  };
  auto remove = [&](short x) {
    if (!match[x]) return;
    matched--;
    if (--count[M[x]] == 0) distinct--;
  };
  auto value = [&]() {
    long rf = S.total + 2L * G.leaves - 1 - matched - distinct;
    return code == CODERFFD ? (rf + G.leaves - S.leaves) / 2 : rf;
  };

  // The root of every rooting has the cluster of all species.
  if (below[G.rootmap] == static_cast<int>(G.getrootcluster(0).size())) {
    matched++;
    distinct++;
    count[G.rootmap]++;
  }
  // Start at the edge of leaf 0.
  std::vector<short> start;
  subtreepreorder(G, G.parent[0], start);
  add(0);
  for (short x : start) add(x);
  score[0] = score[G.parent[0]] = value();

  // Frame: y is the member of its triple in the rooted tree, on the current root edge;
  // s is the sibling swapped in for it while the edge of s is explored (-1 none).
  struct Frame {
    short y, s;
    int k;
  };
  std::vector<Frame> stack{{G.parent[0], -1, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.s >= 0) {
      remove(f.s);
      add(f.y);
      f.s = -1;
      f.k++;
    }
    if (f.k == 2) {
      stack.pop_back();
      continue;
    }
    short s = sibling(G, f.y, f.k);
    remove(f.y);
    add(s);
    f.s = s;
    short o = G.parent[s];
    score[s] = score[o] = value();
    if (o >= G.leaves) stack.push_back({o, -1, 0});
  }
}

static void scorerootings(UnrootedTree& G, RootedTree& S, int code, long* score) {
  switch (code) {
    case CODES:
    case CODEDC:
    case CODERFO:
      additivescores(G, S, code, score);
      return;
    case CODERF:
    case CODERFFD:
      rfscores(G, S, code, score);
      return;
    default:
      break;
  }
  for (int v = 0; v < G.total; v++) {
    DlCost c = G.dlcost(S, static_cast<short>(v));
    if (code == CODED)
      score[v] = c.dup;
    else if (code == CODEL)
      score[v] = c.loss;
    else if (code == CODET)
      score[v] = static_cast<long>(c.loss) - c.dup;
    else
      score[v] = c.smp();
  }
}

void UnrootedTree::pf(std::ostream& out, RootedTree& S, int code, int ladder) {
  if (!rootingcost) rootingcost = new long[total];
  scorerootings(*this, S, code, rootingcost);
  const bool smaller = code != CODES;
  out << "optimalmin=" << (smaller ? 1 : 0) << std::endl;
  long best = rootingcost[0];
  for (int v = 1; v < total; v++)
    if (smaller ? rootingcost[v] < best : rootingcost[v] > best) best = rootingcost[v];

  // Three leaves have no path to unroll: the ladder shows them as the plain form does.
  if (!ladder || leaves == 3) {
    out << "(";
    printlsubtree(out, inroot, best, -1);
    out << ",";
    printlsubtree(out, parent[inroot], best, -1);
    out << ")" << std::endl;
    return;
  }

  std::vector<short> order;
  childfirstorder(*this, order);
  std::vector<short> height(total, 0);
  for (short x : order) {
    if (x < leaves) continue;
    short a, b;
    getchildren(x, a, b);
    height[x] = static_cast<short>(1 + std::max(height[a], height[b]));
  }
  // The first leaf of largest eccentricity (height of the rest of the tree, plus one).
  short s = 0;
  for (short i = 1; i < leaves; i++)
    if (height[parent[i]] > height[parent[s]]) s = i;
  short c1, c2;
  getchildren(parent[s], c1, c2);
  short y = c1 >= leaves ? c1 : c2;
  out << "(";
  printlsubtree(out, parent[y], best, -1);
  out << ",";
  short cur = y;
  while (cur >= leaves) {
    short p, q;
    getchildren(cur, p, q);
    if (p < leaves && q < leaves) break;
    if (height[p] > height[q]) {
      printlsubtree(out, q, best, p);
      cur = p;
    } else {
      printlsubtree(out, p, best, q);
      cur = q;
    }
    out << ",";
  }
  printlsubtree(out, cur, best, -1);
  out << ")" << std::endl;
}

std::ostream& UnrootedTree::printlsubtree(std::ostream& out, short v, long best, int side) {
  if (side >= 0) out << "(";
  struct Frame {
    short x;
    int stage;
  };
  std::vector<Frame> stack{{v, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    short x = f.x;
    if (x < leaves) {
      out << printname(lab[x]);
      linfo(out, x, best, 1);
      stack.pop_back();
      continue;
    }
    short a, b;
    getchildren(x, a, b);
    if (f.stage == 0) {
      out << "(";
      f.stage = 1;
      stack.push_back({a, 0});
    } else if (f.stage == 1) {
      out << ",";
      f.stage = 2;
      stack.push_back({b, 0});
    } else {
      out << ")";
      linfo(out, x, best, 1);
      stack.pop_back();
    }
  }
  if (side >= 0) {
    out << ")";
    linfo(out, static_cast<short>(side), best, -1);
  }
  return out;
}

std::ostream& UnrootedTree::linfo(std::ostream& out, short v, long best, int sign) {
  const bool top = lcamap[v] == rootmap, opposite = lcamap[parent[v]] == rootmap;
  out << " top=" << (top && opposite ? 2 : top ? sign : opposite ? -sign : 0);
  if (!rootingcost) return out;
  out << " cost=" << rootingcost[v];
  if (rootingcost[v] == best) out << " plateau=1";
  out << " id=" << v;
  if (v >= leaves) {
    short a, b;
    getchildren(v, a, b);
    bool flat = rootingcost[v] == rootingcost[a] && rootingcost[v] == rootingcost[b];
    out << " terrace=" << (flat ? 1 : 0);
  }
  return out;
}
