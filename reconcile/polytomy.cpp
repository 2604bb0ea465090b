#include "reconcile/polytomy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "reconcile/dlcost.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// A polytomy whose children have fixed LCA images resolves on its own (Lafond, Swenson and
// El-Mabrouk, WABI 2012). Count the gene lineages on each species branch: at the bottom of
// branch s there are m of them, the children that map to s and one per speciation at s,
// which pairs a lineage at the top of each child branch; going up the branch, m - k
// duplications leave k lineages, or k - m lineages are added that are lost further down.
// F_s(k), the least cost below the top of branch s with k lineages there, follows from the
// children's in O(k) per species node, over the species nodes on the paths from the
// children's images up to the image of the polytomy.

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr int LOST = -1;

struct Scratch {
  // Per species node: the pass that visited it last and its slot among the visited.
  std::vector<unsigned> stamp;
  std::vector<int> slot;
  unsigned pass = 0;
  // Per visited node (slot): species node, children mapped to it, head of their bucket.
  std::vector<short> visited;
  std::vector<int> nhere, head, order, topk, chosen, cnt, waiting;
  std::vector<size_t> offg, offf;  // where each slot's G and F start
  std::vector<int> next;          // bucket links, per polytomy child
  std::vector<double> G, F;       // per slot: by lineages at the bottom, at the top
  std::vector<std::vector<int>> lineages;  // per slot, when building
  // Per half edge of the gene tree.
  std::vector<short> map;
  std::vector<double> cost;
  std::vector<int> handle;
  // The resolution being built: internal node k has handle leaves + k.
  std::vector<int> left, right;
  std::vector<double> uplen;      // per handle
  std::vector<short> kids;
  std::vector<int> kidhandles;
};

thread_local Scratch scratch;

double lossof(long q) { return weight_loss * static_cast<double>(q); }

// Cost of joining two subtrees whose images are a and b under one node.
double joincost(RootedTree& S, short a, short b, short& m) {
  m = S.lca(a, b);
  int dup = m == a || m == b ? 1 : 0;
  return dup * weight_dup + S.getlosses(m, a, b) * weight_loss;
}

// Fills G and F for the polytomy whose children map to maps[0..K) and that maps to r; returns
// its least resolution cost. Below branch s no more lineages than children are of use (a
// speciation of two lost lineages only costs), so G_s has cnt_s + 1 entries and F_s, which
// pairs with its sibling's, cnt of its parent + 1.
double polycost(RootedTree& S, const short* maps, int K, short r) {
  Scratch& sc = scratch;
  if (sc.stamp.size() < static_cast<size_t>(S.total)) {
    sc.stamp.assign(S.total, 0);
    sc.slot.assign(S.total, 0);
  }
  if (++sc.pass == 0) {
    std::fill(sc.stamp.begin(), sc.stamp.end(), 0);
    sc.pass = 1;
  }
  sc.visited.clear();
  sc.nhere.clear();
  sc.head.clear();
  sc.cnt.clear();
  sc.waiting.clear();
  sc.next.assign(K, -1);
  auto visit = [&](short y) {
    sc.stamp[y] = sc.pass;
    sc.slot[y] = static_cast<int>(sc.visited.size());
    sc.visited.push_back(y);
    sc.nhere.push_back(0);
    sc.head.push_back(-1);
    sc.cnt.push_back(0);
    sc.waiting.push_back(0);
  };
  for (int i = 0; i < K; i++) {
    short y = maps[i];
    bool fresh = sc.stamp[y] != sc.pass;
    if (fresh) visit(y);
    int at = sc.slot[y];
    sc.nhere[at]++;
    sc.next[i] = sc.head[at];
    sc.head[at] = i;
    // Each node newly met counts once as a child of its parent.
    while (fresh && y != r) {
      y = S.parent[y];
      fresh = sc.stamp[y] != sc.pass;
      if (fresh) visit(y);
      sc.waiting[sc.slot[y]]++;
    }
  }
  // Children before parents: a node is ready once its visited children are done.
  const int V = static_cast<int>(sc.visited.size());
  sc.order.clear();
  for (int i = 0; i < V; i++)
    if (sc.waiting[i] == 0) sc.order.push_back(i);
  for (size_t k = 0; k < sc.order.size(); k++) {
    const int i = sc.order[k];
    sc.cnt[i] += sc.nhere[i];
    const short s = sc.visited[i];
    if (s == r) continue;
    const int p = sc.slot[S.parent[s]];
    sc.cnt[p] += sc.cnt[i];
    if (--sc.waiting[p] == 0) sc.order.push_back(p);
  }
  sc.offg.resize(V);
  sc.offf.resize(V);
  size_t g0 = 0, f0 = 0;
  for (int i = 0; i < V; i++) {
    const short s = sc.visited[i];
    sc.offg[i] = g0;
    sc.offf[i] = f0;
    g0 += sc.cnt[i] + 1;
    f0 += s == r ? 0 : sc.cnt[sc.slot[S.parent[s]]] + 1;
  }
  if (sc.G.size() < g0) sc.G.resize(g0);
  if (sc.F.size() < f0) sc.F.resize(f0);
  const double d = weight_dup, l = weight_loss;
  double best = INF;
  for (int i : sc.order) {
    const short s = sc.visited[i];
    const int n = sc.nhere[i], c = sc.cnt[i];
    double* g = &sc.G[sc.offg[i]];
    std::fill(g, g + c + 1, INF);
    if (s < S.leaves) {
      g[n] = 0;
    } else {
      const short a = S.son[s - S.leaves], b = S.son[s];
      const double* fa = sc.stamp[a] == sc.pass ? &sc.F[sc.offf[sc.slot[a]]] : nullptr;
      const double* fb = sc.stamp[b] == sc.pass ? &sc.F[sc.offf[sc.slot[b]]] : nullptr;
      for (int q = 0; n + q <= c; q++)
        g[n + q] = (fa ? fa[q] : lossof(q)) + (fb ? fb[q] : lossof(q));
    }
    if (s == r) {
      for (int m = 1; m <= c; m++) best = std::min(best, g[m] + d * (m - 1));
      continue;
    }
    const int w = sc.cnt[sc.slot[S.parent[s]]] + 1;
    double* f = &sc.F[sc.offf[i]];
    std::copy(g, g + c + 1, f);
    std::fill(f + c + 1, f + w, INF);
    for (int k = 1; k < w; k++) f[k] = std::min(f[k], f[k - 1] + l);
    for (int k = w - 2; k >= 1; k--) f[k] = std::min(f[k], f[k + 1] + d);
  }
  return best;
}

int newnode(int a, int b) {
  Scratch& sc = scratch;
  sc.left.push_back(a);
  sc.right.push_back(b);
  sc.uplen.push_back(NOLENGTH);
  return static_cast<int>(sc.uplen.size()) - 1;
}

int join(int a, int b) {
  if (a == LOST) return b;
  if (b == LOST) return a;
  return newnode(a, b);
}

// After polycost on the same children: builds the resolution over the children's handles
// kidhandles[0..K) and returns the handle of its top.
int polybuild(RootedTree& S, short r) {
  Scratch& sc = scratch;
  const int V = static_cast<int>(sc.visited.size());
  const double d = weight_dup, l = weight_loss;
  sc.topk.assign(V, 0);
  sc.chosen.assign(V, 0);
  // Top down: the lineages at the bottom of each branch, from those wanted at its top.
  for (int k = V; k-- > 0;) {
    const int i = sc.order[k];
    const short s = sc.visited[i];
    const double* g = &sc.G[sc.offg[i]];
    int m = 0;
    double best = INF;
    for (int x = 0; x <= sc.cnt[i]; x++) {
      double c;
      if (s == r)
        c = x >= 1 ? g[x] + d * (x - 1) : INF;
      else if (sc.topk[i] == 0)
        c = x == 0 ? g[x] : INF;
      else
        c = g[x] + (x >= sc.topk[i] ? d * (x - sc.topk[i]) : l * (sc.topk[i] - x));
      if (c < best) {
        best = c;
        m = x;
      }
    }
    sc.chosen[i] = m;
    if (s >= S.leaves) {
      const int q = m - sc.nhere[i];
      for (short c : {S.son[s - S.leaves], S.son[s]})
        if (sc.stamp[c] == sc.pass) sc.topk[sc.slot[c]] = q;
    }
  }
  // Bottom up: the lineages themselves, lost ones as LOST, real ones first.
  if (sc.lineages.size() < static_cast<size_t>(V)) sc.lineages.resize(V);
  std::vector<int> la, lb;
  for (int i : sc.order) {
    const short s = sc.visited[i];
    std::vector<int>& pool = sc.lineages[i];
    pool.clear();
    for (int j = sc.head[i]; j != -1; j = sc.next[j]) pool.push_back(sc.kidhandles[j]);
    if (s >= S.leaves) {
      const int q = sc.chosen[i] - sc.nhere[i];
      auto side = [&](short c, std::vector<int>& out) {
        if (sc.stamp[c] == sc.pass)
          out = sc.lineages[sc.slot[c]];
        else
          out.assign(q, LOST);
        std::stable_partition(out.begin(), out.end(), [](int h) { return h != LOST; });
      };
      side(S.son[s - S.leaves], la);
      side(S.son[s], lb);
      for (int t = 0; t < q; t++) pool.push_back(join(la[t], lb[t]));
    }
    const int want = s == r ? 1 : sc.topk[i];
    while (static_cast<int>(pool.size()) > want) {
      int x = pool.back();
      pool.pop_back();
      int y = pool.back();
      pool.pop_back();
      pool.push_back(join(y, x));
    }
    while (static_cast<int>(pool.size()) < want) pool.push_back(LOST);
    if (s == r) return pool[0];
  }
  return LOST;
}

// Images and costs of every half edge's subtree, in M.order.
bool directedcosts(const MultiGeneTree& M, RootedTree& S, const UnrootedTree& G) {
  Scratch& sc = scratch;
  const int H = static_cast<int>(M.to.size());
  sc.map.assign(H, -1);
  sc.cost.assign(H, 0);
  for (int h : M.order) {
    const int w = M.to[h];
    if (w < M.leaves) {
      sc.map[h] = S.findlab(G.lab[w]);
      if (sc.map[h] < 0) return false;
      continue;
    }
    const int back = M.twin[h];
    sc.kids.clear();
    double below = 0;
    for (int c = M.first[w]; c < M.first[w + 1]; c++) {
      if (c == back) continue;
      sc.kids.push_back(sc.map[c]);
      below += sc.cost[c];
    }
    const int K = static_cast<int>(sc.kids.size());
    if (K == 2) {
      short m;
      sc.cost[h] = below + joincost(S, sc.kids[0], sc.kids[1], m);
      sc.map[h] = m;
      continue;
    }
    short r = sc.kids[0];
    for (int k = 1; k < K; k++) r = S.lca(r, sc.kids[k]);
    sc.map[h] = r;
    sc.cost[h] = below + polycost(S, sc.kids.data(), K, r);
  }
  return true;
}

// Children half edges of the subtree of h (every half edge of its node with all = true).
void childedges(const MultiGeneTree& M, int h, bool all, std::vector<int>& out) {
  out.clear();
  const int w = all ? h : M.to[h];
  const int back = all ? -1 : M.twin[h];
  for (int c = M.first[w]; c < M.first[w + 1]; c++)
    if (c != back) out.push_back(c);
}

// Resolution of the node whose children subtrees are the half edges cs, of image r.
int resolvenode(RootedTree& S, const std::vector<int>& cs, short r) {
  Scratch& sc = scratch;
  if (cs.size() == 2) return newnode(sc.handle[cs[0]], sc.handle[cs[1]]);
  sc.kids.clear();
  sc.kidhandles.clear();
  for (int c : cs) {
    sc.kids.push_back(sc.map[c]);
    sc.kidhandles.push_back(sc.handle[c]);
  }
  const int K = static_cast<int>(cs.size());
  polycost(S, sc.kids.data(), K, r);
  return polybuild(S, r);
}

// Handles of the subtrees of the half edges below the given ones, children first.
void buildbelow(const MultiGeneTree& M, RootedTree& S, const std::vector<int>& tops) {
  Scratch& sc = scratch;
  std::vector<std::pair<int, bool>> stack;
  for (int h : tops) stack.emplace_back(h, false);
  std::vector<int> cs;
  while (!stack.empty()) {
    auto [h, ready] = stack.back();
    stack.pop_back();
    const int w = M.to[h];
    if (w < M.leaves) {
      sc.handle[h] = w;
      sc.uplen[w] = M.length[h];
      continue;
    }
    childedges(M, h, false, cs);
    if (!ready) {
      stack.emplace_back(h, true);
      for (int c : cs) stack.emplace_back(c, false);
      continue;
    }
    sc.handle[h] = resolvenode(S, cs, sc.map[h]);
    sc.uplen[sc.handle[h]] = M.length[h];
  }
}

// Writes the resolution into G: the two subtrees of the top joined by an edge, each node's
// triple made as the reader makes it.
void writetree(UnrootedTree& G, int a, int b) {
  Scratch& sc = scratch;
  const int n = G.leaves;
  std::fill(G.parent + n, G.parent + G.total, -1);
  short nextinternal = static_cast<short>(n);
  std::vector<short> done(sc.uplen.size(), -1);
  std::vector<std::pair<int, bool>> stack{{b, false}, {a, false}};
  while (!stack.empty()) {
    auto [h, ready] = stack.back();
    stack.pop_back();
    if (h < n) {
      G.brlen[h] = sc.uplen[h];
      done[h] = static_cast<short>(h);
      continue;
    }
    const int x = sc.left[h - n], y = sc.right[h - n];
    if (!ready) {
      stack.emplace_back(h, true);
      stack.emplace_back(y, false);
      stack.emplace_back(x, false);
      continue;
    }
    done[h] = G.createNode3(done[x], done[y], sc.uplen[h], nextinternal);
  }
  jointopedge(G, done[a], done[b]);
  G.inroot = done[b];
  G.clean(0);
}

}  // namespace

double resolvemultiform(const MultiGeneTree& M, RootedTree& S, UnrootedTree& G) {
  Scratch& sc = scratch;
  if (weight_dup < 0 || weight_loss < 0)
    fatal("Gene trees with polytomies need weights of duplications and losses of 0 or more");
  if (!directedcosts(M, S, G)) return -1;
  // Every rooting: on each edge, and at each node of four or more neighbours with all of
  // them as children (a node of three adds nothing that its edges do not).
  double best = INF;
  int root = -1;
  bool atnode = false;
  const int H = static_cast<int>(M.to.size());
  for (int h = 0; h < H; h++) {
    if (h > M.twin[h]) continue;
    short m;
    double c = sc.cost[h] + sc.cost[M.twin[h]] + joincost(S, sc.map[h], sc.map[M.twin[h]], m);
    if (c < best) {
      best = c;
      root = h;
    }
  }
  for (int v = M.leaves; v < M.nodes; v++) {
    if (M.degree(v) < 4) continue;
    sc.kids.clear();
    double below = 0;
    for (int c = M.first[v]; c < M.first[v + 1]; c++) {
      sc.kids.push_back(sc.map[c]);
      below += sc.cost[c];
    }
    short r = sc.kids[0];
    for (short k : sc.kids) r = S.lca(r, k);
    double c = below + polycost(S, sc.kids.data(), static_cast<int>(sc.kids.size()), r);
    if (c < best) {
      best = c;
      root = v;
      atnode = true;
    }
  }
  sc.handle.assign(H, -1);
  sc.left.clear();
  sc.right.clear();
  sc.uplen.assign(G.leaves, NOLENGTH);
  if (!atnode) {
    buildbelow(M, S, {root, M.twin[root]});
    writetree(G, sc.handle[M.twin[root]], sc.handle[root]);
    return best;
  }
  std::vector<int> cs;
  childedges(M, root, true, cs);
  buildbelow(M, S, cs);
  short r = sc.map[cs[0]];
  for (int c : cs) r = S.lca(r, sc.map[c]);
  int top = resolvenode(S, cs, r);
  writetree(G, sc.left[top - G.leaves], sc.right[top - G.leaves]);
  return best;
}

bool resolveifmulti(UnrootedTree& G, RootedTree& S) {
  const MultiGeneTree* M = multiformof(&G);
  if (!M) return false;
  resolvemultiform(*M, S, G);
  return true;
}

void resolvegenes(RootedTree& S, std::vector<UnrootedTree*>& genes) {
  if (!anymultiforms()) return;
  S.setdepth(-1, 0);
  S.initlca();
  for (UnrootedTree* G : genes) resolveifmulti(*G, S);
}
