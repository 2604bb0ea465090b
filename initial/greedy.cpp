#include "initial/greedy.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "initial/randomtree.h"
#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "io/newick.h"
#include "search/progress.h"
#include "search/searchcontrol.h"
#include "search/sprwalk.h"
#include "trees/fatal.h"
#include "trees/randomdraws.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "trees/unrootedtree.h"

namespace {

// A gene tree restricted to the placed species, as the postorder of a binary tree.
class Restriction {
 public:
  Restriction(UnrootedTree& G, const std::vector<char>& placed) : G(G), placed(placed) {}

  // The postorder, or empty when fewer than three leaves remain.
  std::vector<int> post() {
    count.assign(G.total, -1);
    short a = G.inroot, b = G.parent[G.inroot];
    out.clear();
    if (leaves(a) + leaves(b) < 3) return out;
    // A one-sided root is opened one level down: the top edge joins two nonempty sides.
    if (leaves(a) == 0 || leaves(b) == 0) {
      short v = leaves(a) ? a : b;
      while (true) {
        short x, y;
        G.getchildren(v, x, y);
        if (leaves(x) && leaves(y)) break;
        v = leaves(x) ? x : y;
      }
      emit(v);
    } else {
      emit(a);
      emit(b);
      out.push_back(POSTJOIN);
    }
    return out;
  }

 private:
  UnrootedTree& G;
  const std::vector<char>& placed;
  std::vector<int> count;
  std::vector<int> out;

  int leaves(short v) {
    if (count[v] >= 0) return count[v];
    if (v < G.leaves) return count[v] = placed[G.lab[v]] ? 1 : 0;
    short x, y;
    G.getchildren(v, x, y);
    return count[v] = leaves(x) + leaves(y);
  }

  // Subtrees without placed species vanish and so do the nodes left with one child.
  void emit(short v) {
    if (v < G.leaves) {
      out.push_back(G.lab[v]);
      return;
    }
    short x, y;
    G.getchildren(v, x, y);
    if (!leaves(x)) return emit(y);
    if (!leaves(y)) return emit(x);
    emit(x);
    emit(y);
    out.push_back(POSTJOIN);
  }
};

// The copy weighs what G weighs.
UnrootedTree* restrictedtree(UnrootedTree& G, const std::vector<char>& placed) {
  std::vector<int> post = Restriction(G, placed).post();
  if (post.empty()) return nullptr;
  UnrootedTree* R = genetreeof(post);
  if (anygeneweights()) setgeneweight(R, geneweight(&G));
  return R;
}

// The tree of post with species t joined above its root.
std::vector<int> withabove(std::vector<int> post, short t) {
  post.push_back(t);
  post.push_back(POSTJOIN);
  return post;
}

// Walks P over every place, one incremental move each, and leaves it at the cheapest.
void walkedplace(SprWalk& walk, short P) {
  double best = walk.cost().mut();
  SprPlace place;
  walk.walk(P, [&](const SprPlace& here) {
    if (walk.cost().mut() < best) {
      best = walk.cost().mut();
      place = here;
    }
    return true;
  });
  walk.go(P, place);
}

// Places of a new species costed exactly after the pricing pass ranked them: the price keeps
// each gene tree holding the species at the rooting optimal without it, and a re-rooting can
// make another of the best few cheaper. Small collections cost many places (every one on
// guigo16, whose starts were clearly worse with 4 or 8; treefam25 needed 8 to build the
// walk's starts); a place costs little more than the pass that prices them all (a few root
// moves per gene tree), so large ones cost 8.
constexpr double candidatework = 2e6;  // directed gene nodes x places a step
constexpr size_t fewestcandidates = 8;

size_t candidatesfor(const std::vector<UnrootedTree*>& genes) {
  double nodes = 1;
  for (const UnrootedTree* G : genes) nodes += G->total;
  return std::max(fewestcandidates, static_cast<size_t>(candidatework / nodes));
}

}  // namespace

// ---- The growing species tree ----

GrowingTree::GrowingTree(short a, short b)
    : root(2), parent{2, 2, -1}, left{-1, -1, 0}, right{-1, -1, 1}, species{a, b, -1} {
  renumber();
}

short GrowingTree::lca(short a, short b) const {
  while (!inside(b, a)) a = parent[a];
  return a;
}

short GrowingTree::insert(short s, short x) {
  const short leaf = static_cast<short>(size()), joint = static_cast<short>(leaf + 1);
  const short up = parent[x];
  parent.push_back(joint);
  left.push_back(-1);
  right.push_back(-1);
  species.push_back(s);
  parent.push_back(up);
  left.push_back(x);
  right.push_back(leaf);
  species.push_back(-1);
  if (up < 0)
    root = joint;
  else if (left[up] == x)
    left[up] = joint;
  else
    right[up] = joint;
  parent[x] = joint;
  renumber();
  return leaf;
}

void GrowingTree::renumber() {
  const int n = size();
  depth.assign(n, 0);
  pre.assign(n, 0);
  end.assign(n, 0);
  bypre.clear();
  std::vector<short> stack{root};
  while (!stack.empty()) {
    const short v = stack.back();
    stack.pop_back();
    pre[v] = static_cast<short>(bypre.size());
    bypre.push_back(v);
    if (parent[v] >= 0) depth[v] = static_cast<short>(depth[parent[v]] + 1);
    if (left[v] >= 0) {
      stack.push_back(right[v]);
      stack.push_back(left[v]);
    }
  }
  // A node's interval closes after its last descendant: sizes summed children first.
  std::vector<short> size(n, 1);
  for (int i = n - 1; i > 0; i--) size[parent[bypre[i]]] += size[bypre[i]];
  for (int v = 0; v < n; v++) end[v] = static_cast<short>(pre[v] + size[v]);
}

std::vector<int> GrowingTree::postorder() const {
  std::vector<int> out;
  std::vector<std::pair<short, bool>> stack{{root, false}};
  while (!stack.empty()) {
    auto [v, done] = stack.back();
    stack.pop_back();
    if (left[v] < 0) {
      out.push_back(species[v]);
    } else if (done) {
      out.push_back(POSTJOIN);
    } else {
      stack.push_back({v, true});
      stack.push_back({right[v], false});
      stack.push_back({left[v], false});
    }
  }
  return out;
}

// ---- Stepwise addition over whole gene trees ----

namespace {

inline void children(const UnrootedTree* G, short v, short& a, short& b) {
  const int j = (v - G->leaves) % 3;
  a = G->parent[v + offset[2 * j]];
  b = G->parent[v + offset[2 * j + 1]];
}

// What a gene node holds: placed species other than the new one, the new one, or both.
enum : unsigned char { NONE = 0, REST = 1, NEW = 2, MIXED = 3, ROOTED = 4 };

}  // namespace

// At most this many places are costed in one pass over the gene trees: the pass reads each
// tree once for all of them.
constexpr int WIDE = 8;

struct StepwiseAddition::Scratch {
  // Per position of a gene tree (times the places of a pass): image in the tree with the new
  // species, kind, costs below it.
  std::vector<short> image;
  std::vector<unsigned char> kind;
  std::vector<int> dup, loss;
  std::vector<short> stack;
  // The pricing counters per node of W, [0] for the gene trees without the new species,
  // [1] for those with it; each times the tree's units.
  std::vector<long> rest[2], mixed[2], dupat[2];
  long constdup[2] = {0, 0}, constloss[2] = {0, 0}, newmass[2] = {0, 0};
  long long exactdup[WIDE], exactloss[WIDE];

  void counters(int wnodes) {
    for (int s = 0; s < 2; s++) {
      rest[s].assign(wnodes, 0);
      mixed[s].assign(wnodes, 0);
      dupat[s].assign(wnodes, 0);
      constdup[s] = constloss[s] = newmass[s] = 0;
    }
  }
  void size(int genenodes) {
    if (static_cast<int>(kind.size()) < genenodes) {
      kind.resize(genenodes);
      image.resize(static_cast<size_t>(genenodes) * WIDE);
      dup.resize(static_cast<size_t>(genenodes) * WIDE);
      loss.resize(static_cast<size_t>(genenodes) * WIDE);
    }
  }
};

StepwiseAddition::StepwiseAddition(std::vector<UnrootedTree*>& genes, short a, short b)
    : genes(genes), W(a, b) {
  leafof.assign(specnames.size(), -1);
  leafof[a] = 0;
  leafof[b] = 1;
  holders.resize(specnames.size());
  for (size_t g = 0; g < genes.size(); g++) {
    const UnrootedTree& G = *genes[g];
    for (int v = 0; v < G.leaves; v++) {
      std::vector<std::pair<int, int>>& h = holders[G.lab[v]];
      if (h.empty() || h.back().first != static_cast<int>(g)) h.emplace_back(g, 0);
      h.back().second++;
    }
  }
  holds.assign(genes.size(), 0);
  newcount.assign(genes.size(), 0);
  families.resize(genes.size());
  const GeneShare& share = geneshare(genes);
  for (int p = 0; p < share.parts(); p++) scratch.push_back(new Scratch);
  const int n = W.size();
  std::vector<short> depths(n + 2, 0), mixed(n + 2, 0);
  for (int v = 0; v < n; v++) depths[v] = W.depth[v];
  forblocks(share, [&](int tb, int lo, int hi) {
    Scratch& c = *scratch[tb];
    for (int g = lo; g < hi; g++) {
      const UnrootedTree* G = genes[g];
      StepwiseFamily& F = families[g];
      c.size(G->total);
      // Every directed node after its children, by a walk that finishes a node once both
      // are finished; the children relation has no cycle.
      std::vector<char> done(G->total, 0);
      F.node.reserve(G->total);
      for (short s = 0; s < G->total; s++) {
        if (done[s]) continue;
        c.stack.assign(1, s);
        while (!c.stack.empty()) {
          const short v = c.stack.back();
          if (v >= G->leaves) {
            short x, y;
            children(G, v, x, y);
            if (!done[x]) {
              c.stack.push_back(x);
              continue;
            }
            if (!done[y]) {
              c.stack.push_back(y);
              continue;
            }
          }
          c.stack.pop_back();
          done[v] = 1;
          F.node.push_back(v);
        }
      }
      const int N = G->total;
      F.at.assign(N, 0);
      for (int i = 0; i < N; i++) F.at[F.node[i]] = static_cast<short>(i);
      F.first.assign(N, -1);
      F.second.assign(N, -1);
      F.opposite.assign(N, -1);
      F.image.assign(N, -1);
      for (int i = 0; i < N; i++) {
        const short v = F.node[i];
        F.opposite[i] = F.at[G->parent[v]];
        if (v < G->leaves) {
          F.second[i] = G->lab[v];
          F.image[i] = leafof[G->lab[v]];
          if (F.image[i] >= 0) F.placed++;
          continue;
        }
        short x, y;
        children(G, v, x, y);
        F.first[i] = F.at[x];
        F.second[i] = F.at[y];
        const short mx = F.image[F.first[i]], my = F.image[F.second[i]];
        F.image[i] = mx < 0 ? my : my < 0 ? mx : W.lca(mx, my);
      }
      if (F.placed >= 3) {
        DlTotal cost;
        exactfamily(g, 1, mixed.data(), depths.data(), n + 2, c, &cost, &F.rooting);
      }
    }
  });
}

StepwiseAddition::~StepwiseAddition() {
  for (Scratch* c : scratch) delete c;
}

// Per gene tree at its rooting, every node of the restricted tree (a node with both sides
// holding leaves of W or t) by its kind: REST maps to its image m at depth d(m), one more when
// t goes below m; NEW maps to t at the place's depth + 1; MIXED maps to lca(place, m), at
// the place's depth when that is the new joint. Losses are the sum of weight x depth (leaves
// +1, inner nodes -1, the root -2) plus twice the duplications, less two per inner node, so
// each is a count on a node of W that subtree sums or sums down from the root spread over
// the places. Duplications that depend on the place: REST with NEW below a node mapped to m
// is one when t goes strictly below m; MIXED (at m1) with REST (at m2) is one except when t
// goes into m's child on m1's side (m = lca(m1, m2) apart from m1 and m2).
void StepwiseAddition::pricefamily(int g, long long units, Scratch& c) {
  StepwiseFamily& F = families[g];
  if (F.rooting < 0) return;
  const int set = holds[g] ? 1 : 0;
  const long u = static_cast<long>(units);
  long* rest = c.rest[set].data();
  long* mixed = c.mixed[set].data();
  long* dupat = c.dupat[set].data();
  long& constdup = c.constdup[set];
  long& constloss = c.constloss[set];
  long& newmass = c.newmass[set];
  const short* image = F.image.data();
  const short* at = F.at.data();
  auto account = [&](unsigned char k, short m, long w) {
    if (k == REST) {
      rest[m] += w * u;
      constloss += w * u * W.depth[m];
    } else if (k == NEW) {
      newmass += w * u;
      constloss += w * u;
    } else {
      mixed[m] += w * u;
    }
  };
  // An inner node at rest image m over sides a and b of kinds ka and kb (neither NONE).
  auto join = [&](unsigned char ka, unsigned char kb, short ma, short mb, short m) {
    constloss -= 2 * u;
    if (ka == REST && kb == REST) {
      if (m == ma || m == mb) constdup += u;
    } else if ((ka | kb) == MIXED && (ka == REST || kb == REST) && (ka == NEW || kb == NEW)) {
      if (W.left[m] >= 0) {
        dupat[W.left[m]] += u;
        dupat[W.right[m]] += u;
      }
    } else if ((ka == MIXED && kb == REST) || (ka == REST && kb == MIXED)) {
      constdup += u;
      const short m1 = ka == MIXED ? ma : mb, m2 = ka == MIXED ? mb : ma;
      if (m != m1 && m != m2) dupat[W.inside(m1, W.left[m]) ? W.left[m] : W.right[m]] -= u;
    } else {
      constdup += u;
    }
  };
  // Kinds by position, children first; then, parents first, the nodes of the tree rooted at
  // the rooting, marked from its two sides down.
  unsigned char* kind = c.kind.data();
  const short* first = F.first.data();
  const short* second = F.second.data();
  const int N = static_cast<int>(F.node.size());
  for (int i = 0; i < N; i++) {
    const short f = first[i];
    kind[i] = f < 0 ? (image[i] >= 0 ? REST : second[i] == t ? NEW : NONE)
                    : (kind[f] | kind[second[i]]) & MIXED;
  }
  // Kept for the exact costing, which moves the root from there.
  if (set == 1) {
    F.hasnew.resize(N);
    for (int i = 0; i < N; i++) F.hasnew[i] = kind[i] & NEW;
  }
  const short r = at[F.rooting], ur = F.opposite[r];
  kind[r] |= ROOTED;
  kind[ur] |= ROOTED;
  for (int i = N - 1; i >= 0; i--) {
    const unsigned char k = kind[i];
    if (!(k & ROOTED) || k == ROOTED) continue;
    const short a = first[i];
    if (a < 0) {
      account(k & MIXED, image[i], 1);
      continue;
    }
    const short b = second[i];
    const unsigned char ka = kind[a] & MIXED, kb = kind[b] & MIXED;
    if (ka != NONE && kb != NONE) {
      account(k & MIXED, image[i], -1);
      join(ka, kb, image[a], image[b], image[i]);
    }
    kind[a] |= ROOTED;
    kind[b] |= ROOTED;
  }
  const unsigned char kr = kind[r] & MIXED, kur = kind[ur] & MIXED;
  // The root: both sides hold leaves of W.
  const short m = W.lca(image[r], image[ur]);
  account(kr | kur, m, -2);
  join(kr, kur, image[r], image[ur], m);
}

void StepwiseAddition::price(short species) {
  if (t >= 0)
    for (auto [g, k] : holders[t]) holds[g] = 0, newcount[g] = 0;
  t = species;
  for (auto [g, k] : holders[t]) holds[g] = 1, newcount[g] = k;
  costed.clear();
  costedrootings.clear();
  costedtotals.clear();
  const int n = W.size();
  const GeneShare& share = geneshare(genes);
  forblocks(share, [&](int tb, int lo, int hi) {
    Scratch& c = *scratch[tb];
    c.counters(n);
    for (int g = lo; g < hi; g++) {
      c.size(genes[g]->total);
      pricefamily(g, share.unitsof(g), c);
    }
  });
  // Summed over the threads and processes: per set, three counters per node and three more.
  const int width = 3 * n + 3;
  std::vector<long> sum(2 * width, 0);
  for (Scratch* c : scratch)
    for (int s = 0; s < 2; s++) {
      long* out = sum.data() + s * width;
      for (int v = 0; v < n; v++) {
        out[v] += c->rest[s][v];
        out[n + v] += c->mixed[s][v];
        out[2 * n + v] += c->dupat[s][v];
      }
      out[3 * n] += c->constdup[s];
      out[3 * n + 1] += c->constloss[s];
      out[3 * n + 2] += c->newmass[s];
    }
  if (splitacrossprocesses()) sumoverprocesses(sum);
  prices.assign(n, DlTotal(0, 0));
  without.assign(n, DlTotal(0, 0));
  std::vector<long> subrest(n), submixed(n), down(n), dups(n);
  for (int s = 0; s < 2; s++) {
    const long* in = sum.data() + s * width;
    for (int v = 0; v < n; v++) {
      subrest[v] = in[v];
      submixed[v] = in[n + v];
    }
    for (int i = n - 1; i > 0; i--) {
      const short v = W.bypre[i];
      subrest[W.parent[v]] += subrest[v];
      submixed[W.parent[v]] += submixed[v];
    }
    for (short v : W.bypre) {
      const bool top = v == W.root;
      down[v] = top ? 0 : down[W.parent[v]] + submixed[v];
      dups[v] = (top ? 0 : dups[W.parent[v]]) + in[2 * n + v];
    }
    for (short v : W.bypre) {
      const long d = in[3 * n] + dups[v];
      const long l = in[3 * n + 1] + subrest[v] + in[3 * n + 2] * W.depth[v] + down[v] + 2 * d;
      prices[v] = prices[v] + DlTotal(d, l);
      if (s == 0) without[v] = DlTotal(d, l);
    }
  }
}

// t above x: each node m of W as the image of a node holding t and leaves of m (mixed), and
// the depths, by node id of the tree after the insertion (t's leaf n, the joint n + 1).
void StepwiseAddition::setplace(short x, short* mixed, short* depths) const {
  const int n = W.size();
  const short leaf = static_cast<short>(n), joint = static_cast<short>(n + 1);
  for (short m : W.bypre) {
    if (W.inside(m, x))
      mixed[m] = joint;
    else if (W.inside(x, m))
      mixed[m] = m;  // an ancestor of x: lca(x, m) = m
    else
      mixed[m] = mixed[W.parent[m]];
    depths[m] = static_cast<short>(W.depth[m] + (W.inside(m, x) ? 1 : 0));
  }
  depths[leaf] = static_cast<short>(W.depth[x] + 1);
  depths[joint] = W.depth[x];
}

namespace {

// One pass of StepwiseAddition::exactfamily for K places (a constant, so the loops over the
// places unroll): every directed node's image, duplications and losses below it, children
// first, then every edge as the root: for each place the least cost over the rootings, and
// the first edge that has it. Images are node ids of the tree after the insertion (leaf: t's).
template <int K>
void exactpass(const StepwiseFamily& F, short t, short leaf, const GrowingTree& W,
               const short* mixed, const short* depths, int wide, short* img,
               unsigned char* kind, int* dup, int* loss, DlTotal* out, short* rootings) {
  const short* image = F.image.data();
  const short* first = F.first.data();
  const short* second = F.second.data();
  const int N = static_cast<int>(F.node.size());
  for (int i = 0; i < N; i++) {
    const short a = first[i], b = second[i];
    short* im = img + i * K;
    int* du = dup + i * K;
    int* lo = loss + i * K;
    if (a < 0) {
      unsigned char kd;
      short m;
      if (image[i] >= 0) {
        kd = REST;
        m = image[i];
      } else if (b == t) {
        kd = NEW;
        m = leaf;
      } else {
        kd = NONE;
        m = -1;
      }
      kind[i] = kd;
      for (int j = 0; j < K; j++) im[j] = m, du[j] = 0, lo[j] = 0;
      continue;
    }
    const unsigned char ka = kind[a], kb = kind[b];
    if (ka == NONE || kb == NONE) {
      const short o = ka == NONE ? b : a;
      kind[i] = kind[o];
      for (int j = 0; j < K; j++) {
        im[j] = img[o * K + j];
        du[j] = dup[o * K + j];
        lo[j] = loss[o * K + j];
      }
      continue;
    }
    const unsigned char kd = ka | kb;
    kind[i] = kd;
    const short* ia = img + a * K;
    const short* ib = img + b * K;
    const int* da = dup + a * K;
    const int* db = dup + b * K;
    const int* la = loss + a * K;
    const int* lb = loss + b * K;
    const short mv = image[i];
    for (int j = 0; j < K; j++) {
      const short* depth = depths + j * wide;
      const short m = kd == REST ? mv : kd == NEW ? leaf : mixed[j * wide + mv];
      const int d = (m == ia[j]) | (m == ib[j]);
      im[j] = m;
      du[j] = da[j] + db[j] + d;
      lo[j] = la[j] + lb[j] + depth[ia[j]] + depth[ib[j]] - 2 * depth[m] - 2 + 2 * d;
    }
  }
  // Every rooting maps the root to the image of all leaves: the two sides of any edge.
  const short p0 = 0, q0 = F.opposite[0];
  const short m0 = image[p0], m1 = image[q0];
  const short restroot = m0 < 0 ? m1 : m1 < 0 ? m0 : W.lca(m0, m1);
  const bool hasnew = (kind[p0] | kind[q0]) & NEW;
  short R[K];
  int rootdepth[K];
  for (int j = 0; j < K; j++) {
    R[j] = !hasnew ? restroot : restroot < 0 ? leaf : mixed[j * wide + restroot];
    rootdepth[j] = depths[j * wide + R[j]];
  }
  double best[K] = {};
  for (int j = 0; j < K; j++) rootings[j] = -1;
  const short* opposite = F.opposite.data();
  for (int i = 0; i < N; i++) {
    const short o = opposite[i];
    if (o < i || kind[i] == NONE || kind[o] == NONE) continue;
    for (int j = 0; j < K; j++) {
      const short* depth = depths + j * wide;
      const short mi = img[i * K + j], mo = img[o * K + j];
      const int d = (R[j] == mi) | (R[j] == mo);
      const long dups = static_cast<long>(dup[i * K + j]) + dup[o * K + j] + d;
      const long losses = static_cast<long>(loss[i * K + j]) + loss[o * K + j] + depth[mi] +
                          depth[mo] - 2 * rootdepth[j] - 2 + 2 * d;
      const DlTotal cost(dups, losses);
      const double c = cost.mut();
      if (rootings[j] < 0 || c < best[j]) {
        best[j] = c;
        out[j] = cost;
        rootings[j] = F.node[i];
      }
    }
  }
}

}  // namespace

void StepwiseAddition::exactfamily(int g, int k, const short* mixed, const short* depths,
                                   int wide, Scratch& c, DlTotal* out, short* rootings) const {
  const StepwiseFamily& F = families[g];
  const short leaf = static_cast<short>(W.size());
  short* img = c.image.data();
  unsigned char* kind = c.kind.data();
  int* dup = c.dup.data();
  int* loss = c.loss.data();
#define KV_PASS(K)                                                                          \
  case K:                                                                                   \
    exactpass<K>(F, t, leaf, W, mixed, depths, wide, img, kind, dup, loss, out, rootings); \
    break;
  switch (k) {
    KV_PASS(1) KV_PASS(2) KV_PASS(3) KV_PASS(4) KV_PASS(5) KV_PASS(6) KV_PASS(7) KV_PASS(8)
  }
#undef KV_PASS
}

// The cost of a tree at a rooting, less that at the next: only the root and the node below it
// change. Rooted at the edge between sides a and b, the root moves to an edge below b's first
// node E (a node with both sides holding leaves), children c and cc: the root then joins c and
// N, the other side of c's edge, whose children are a and cc. This relies on the cost over
// the rootings having no local optimum that is not global, so that the walk ends at an optimal
// rooting; the property test checks the result against fresh reconciliations.
DlTotal StepwiseAddition::descend(int g, const short* mixed, const short* depths,
                                  short& rooting) const {
  const StepwiseFamily& F = families[g];
  const short leaf = static_cast<short>(W.size());
  const short* image = F.image.data();
  const unsigned char* hasnew = F.hasnew.data();
  auto kind = [&](short v) {
    return static_cast<unsigned char>((image[v] >= 0 ? REST : NONE) | (hasnew[v] ? NEW : NONE));
  };
  auto img = [&](short v) {
    const unsigned char k = kind(v);
    return k == REST ? image[v] : k == NEW ? leaf : mixed[image[v]];
  };
  short a = F.at[F.rooting], b = F.opposite[a];
  const short m0 = image[a], m1 = image[b];
  const short restroot = W.lca(m0, m1);
  const bool withnew = hasnew[a] || hasnew[b];
  const short R = withnew ? mixed[restroot] : restroot;
  // Duplications and losses of a node mapped to m over children mapped to x and y.
  auto node = [&](short m, short x, short y, long& dups, long& losses) {
    const int d = m == x || m == y ? 1 : 0;
    dups += d;
    losses += depths[x] + depths[y] - 2 * depths[m] - 2 + 2 * d;
  };
  DlTotal change(0, 0);
  for (;;) {
    double best = 0;
    short to = -1;
    long bestdups = 0, bestlosses = 0;
    for (int side = 0; side < 2; side++) {
      const short s = side ? a : b, o = side ? b : a;
      short E = s;
      while (F.first[E] >= 0) {
        const short x = F.first[E], y = F.second[E];
        if (kind(x) == NONE)
          E = y;
        else if (kind(y) == NONE)
          E = x;
        else
          break;
      }
      if (F.first[E] < 0) continue;
      const short io = img(o), is = img(s);
      for (int k = 0; k < 2; k++) {
        const short c = k ? F.second[E] : F.first[E], cc = k ? F.first[E] : F.second[E];
        const short N = F.opposite[c];
        const short ic = img(c), icc = img(cc), in = img(N);
        long dups = 0, losses = 0;
        node(in, io, icc, dups, losses);
        node(R, ic, in, dups, losses);
        long olddups = 0, oldlosses = 0;
        node(is, ic, icc, olddups, oldlosses);
        node(R, io, is, olddups, oldlosses);
        const double delta = DlTotal(dups - olddups, losses - oldlosses).mut();
        if (delta < best) {
          best = delta;
          to = c;
          bestdups = dups - olddups;
          bestlosses = losses - oldlosses;
        }
      }
    }
    if (to < 0) break;
    change = change + DlTotal(bestdups, bestlosses);
    a = to;
    b = F.opposite[to];
  }
  rooting = F.node[a];
  return change;
}

DlTotal StepwiseAddition::exact(short x) {
  costexactly({x});
  size_t i = 0;
  while (costed[i] != x) i++;
  return costedtotals[i];
}

void StepwiseAddition::costexactly(const std::vector<short>& xs) {
  std::vector<short> todo;
  for (short x : xs)
    if (std::find(costed.begin(), costed.end(), x) == costed.end() &&
        std::find(todo.begin(), todo.end(), x) == todo.end())
      todo.push_back(x);
  const int n = W.size(), wide = n + 2;
  const GeneShare& share = geneshare(genes);
  for (size_t from = 0; from < todo.size(); from += WIDE) {
    const int k = static_cast<int>(std::min<size_t>(WIDE, todo.size() - from));
    std::vector<short> mixed(static_cast<size_t>(k) * wide), depths(static_cast<size_t>(k) * wide);
    for (int j = 0; j < k; j++) setplace(todo[from + j], &mixed[j * wide], &depths[j * wide]);
    const size_t slot = costed.size();
    for (int j = 0; j < k; j++) {
      costed.push_back(todo[from + j]);
      costedrootings.emplace_back(genes.size(), -1);
    }
    forblocks(share, [&](int tb, int lo, int hi) {
      Scratch& c = *scratch[tb];
      std::fill(c.exactdup, c.exactdup + WIDE, 0);
      std::fill(c.exactloss, c.exactloss + WIDE, 0);
      DlTotal f[WIDE];
      short r[WIDE];
      for (int g = lo; g < hi; g++) {
        if (!holds[g] || families[g].placed + newleaves(g) < 3) continue;
        if (families[g].rooting >= 0) {
          // Priced at its kept rooting: the change from there.
          for (int j = 0; j < k; j++) f[j] = descend(g, &mixed[j * wide], &depths[j * wide], r[j]);
        } else {
          c.size(genes[g]->total);
          exactfamily(g, k, mixed.data(), depths.data(), wide, c, f, r);
        }
        const long long u = share.unitsof(g);
        for (int j = 0; j < k; j++) {
          c.exactdup[j] += f[j].dup * u;
          c.exactloss[j] += f[j].loss * u;
          costedrootings[slot + j][g] = r[j];
        }
      }
    });
    exactpasses++;
    std::vector<long> sum(2 * k, 0);
    for (Scratch* c : scratch)
      for (int j = 0; j < k; j++) {
        sum[2 * j] += static_cast<long>(c->exactdup[j]);
        sum[2 * j + 1] += static_cast<long>(c->exactloss[j]);
      }
    if (splitacrossprocesses()) sumoverprocesses(sum);
    for (int j = 0; j < k; j++)
      costedtotals.push_back(prices[todo[from + j]] + DlTotal(sum[2 * j], sum[2 * j + 1]));
  }
}

short StepwiseAddition::choose(short species, size_t k) {
  price(species);
  std::vector<short> ranked = W.bypre;
  std::stable_sort(ranked.begin(), ranked.end(),
                   [&](short x, short y) { return prices[x].mut() < prices[y].mut(); });
  ranked.resize(std::min(ranked.size(), k));
  costexactly(ranked);
  short best = -1;
  double least = 0;
  for (short x : ranked) {
    const double c = exact(x).mut();
    if (best < 0 || c < least || (c == least && W.pre[x] < W.pre[best])) {
      best = x;
      least = c;
    }
  }
  return best;
}

void StepwiseAddition::insert(short x) {
  exact(x);  // the rootings each tree holding t takes there
  size_t slot = 0;
  while (costed[slot] != x) slot++;
  const int n = W.size();
  std::vector<short> mixed(n + 2), depths(n + 2);
  setplace(x, mixed.data(), depths.data());
  const short leaf = static_cast<short>(n);
  const std::vector<short>& rootings = costedrootings[slot];
  const GeneShare& share = geneshare(genes);
  forblocks(share, [&](int tb, int lo, int hi) {
    Scratch& c = *scratch[tb];
    for (int g = lo; g < hi; g++) {
      if (!holds[g]) continue;
      StepwiseFamily& F = families[g];
      const int N = static_cast<int>(F.node.size());
      if (F.rooting >= 0) {
        // Priced this step: which sides hold t is known.
        for (int i = 0; i < N; i++)
          if (F.hasnew[i]) F.image[i] = F.image[i] < 0 ? leaf : mixed[F.image[i]];
      } else {
        c.size(genes[g]->total);
        unsigned char* hasnew = c.kind.data();
        for (int i = 0; i < N; i++) {
          const short a = F.first[i], b = F.second[i];
          hasnew[i] = a < 0 ? b == t : hasnew[a] | hasnew[b];
          if (hasnew[i]) F.image[i] = F.image[i] < 0 ? leaf : mixed[F.image[i]];
        }
      }
      F.placed += newleaves(g);
      F.rooting = F.placed >= 3 ? rootings[g] : -1;
    }
  });
  W.insert(t, x);
  leafof[t] = leaf;
  for (auto [g, k] : holders[t]) holds[g] = 0, newcount[g] = 0;
  t = -1;
}

RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes) {
  std::vector<short> all(specnames.size());
  for (size_t i = 0; i < all.size(); i++) all[i] = static_cast<short>(i);
  checkspeciesnames();
  return greedyspeciestree(genes, all, true);
}

namespace {

RootedTree* walkedstart(std::vector<UnrootedTree*>& genes, const std::vector<short>& order) {
  const int n = static_cast<int>(order.size());
  // The gene trees in which each species occurs: only they change when it is added.
  std::vector<std::vector<int>> holders(specnames.size());
  for (size_t g = 0; g < genes.size(); g++) {
    UnrootedTree& G = *genes[g];
    for (int v = 0; v < G.leaves; v++) {
      std::vector<int>& h = holders[G.lab[v]];
      if (h.empty() || h.back() != static_cast<int>(g)) h.push_back(static_cast<int>(g));
    }
  }

  std::vector<char> placed(specnames.size(), 0);
  placed[order[0]] = placed[order[1]] = 1;
  std::vector<UnrootedTree*> restricted(genes.size(), nullptr);
  std::vector<int> current{order[0], order[1], POSTJOIN};
  for (int k = 2; k < n; k++) {
    const short t = order[k];
    progressplacing(k, n);
    // Past a time limit or after a signal the rest go above the root, unsearched: the search
    // that follows stops at once and saves a tree of every species.
    if (searchstop()) {
      current = withabove(std::move(current), t);
      continue;
    }
    placed[t] = 1;
    for (int g : holders[t]) {
      delete restricted[g];
      restricted[g] = restrictedtree(*genes[g], placed);
    }
    std::vector<UnrootedTree*> active;
    for (UnrootedTree* R : restricted)
      if (R) active.push_back(R);
    RootedTree* W = speciestreeof(withabove(std::move(current), t));
    if (!active.empty()) {
      SprWalk walk(*W, active);
      walk.start(W->initGTS(active, 1));
      walkedplace(walk, W->findlab(t));
    }
    current = postorderof(*W);
    delete W;
  }
  for (UnrootedTree* R : restricted) delete R;
  return speciestreeof(current);
}

}  // namespace

RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes, std::vector<short> order,
                              bool priced) {
  const int n = static_cast<int>(order.size());
  if (n == 0) fatal("Cannot create initial species tree");
  for (int i = n - 1; i > 0; i--) std::swap(order[i], order[drawrandom() % (i + 1)]);
  if (n == 1) return speciestreeof({order[0]});
  if (!priced) return walkedstart(genes, order);

  StepwiseAddition add(genes, order[0], order[1]);
  int k = 2;
  const size_t candidates = candidatesfor(genes);
  for (; k < n && (progressplacing(k, n), !searchstop()); k++)
    add.insert(add.choose(order[k], candidates));
  // Past a time limit or after a signal the rest go above the root, unsearched: the search
  // that follows stops at once and saves a tree of every species.
  std::vector<int> post = add.tree().postorder();
  for (; k < n; k++) post = withabove(std::move(post), order[k]);
  return speciestreeof(post);
}
