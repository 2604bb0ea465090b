#include "initial/greedy.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "initial/randomtree.h"
#include "search/progress.h"
#include "search/regraftprice.h"
#include "search/searchcontrol.h"
#include "search/sprwalk.h"
#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "io/newick.h"
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

// Places of a new species costed exactly after the pricing pass ranked them: the price keeps
// each gene tree at its rooting, and a re-rooting can make another of the best few cheaper.
// Fewer (4, or 3 after a first round of 8) gave clearly worse starts on guigo16.
constexpr size_t greedycandidates = 8;

// Moves P to the place of least exact cost among the best-priced ones, and prices again from
// there, until that finds nothing cheaper. The rootings a price keeps are those optimal where
// P stands: above the root they often take P for an outgroup, so a first pass alone ranks
// the places poorly.
void pricedplace(SprWalk& walk, RegraftPricer& pricer, short P) {
  std::vector<std::pair<short, short>> steps;
  for (;;) {
    pricer.price(P, walk.cost());
    std::vector<short> ranked = pricer.places();
    std::stable_sort(ranked.begin(), ranked.end(), [&](short x, short y) {
      return pricer.cost(x).mut() < pricer.cost(y).mut();
    });
    ranked.resize(std::min(ranked.size(), greedycandidates));
    SprPlace best;
    bool found = false;
    double least = walk.cost().mut();
    for (short x : ranked) {
      if (x == pricer.home()) continue;
      const SprPlace place = pricer.route(x);
      walk.record(&steps);
      walk.go(P, place);
      walk.record(nullptr);
      if (walk.cost().mut() < least) {
        least = walk.cost().mut();
        best = place;
        found = true;
      }
      walk.undo(steps);
    }
    if (!found) return;
    walk.go(P, best);
  }
}

// The tree of post with species t joined above its root.
std::vector<int> withabove(std::vector<int> post, short t) {
  post.push_back(t);
  post.push_back(POSTJOIN);
  return post;
}

}  // namespace

RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes) {
  std::vector<short> all(specnames.size());
  for (size_t i = 0; i < all.size(); i++) all[i] = static_cast<short>(i);
  checkspeciesnames();
  return greedyspeciestree(genes, all, false);
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

RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes, std::vector<short> order,
                              bool priced) {
  const int n = static_cast<int>(order.size());
  if (n == 0) fatal("Cannot create initial species tree");
  for (int i = n - 1; i > 0; i--) std::swap(order[i], order[drawrandom() % (i + 1)]);
  if (n == 1) return speciestreeof({order[0]});

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
      const short P = W->findlab(t);
      if (priced) {
        RegraftPricer pricer(*W, active);
        pricedplace(walk, pricer, P);
      } else {
        walkedplace(walk, P);
      }
    }
    current = postorderof(*W);
    delete W;
  }
  for (UnrootedTree* R : restricted) delete R;
  return speciestreeof(current);
}
