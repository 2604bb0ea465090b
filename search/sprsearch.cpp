#include "search/sprsearch.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <utility>
#include <vector>

#include "reconcile/costformat.h"
#include "search/fuse.h"
#include "search/nnisearch.h"
#include "search/regraftprice.h"
#include "search/searchcontrol.h"
#include "search/sprwalk.h"
#include "store/arrtab.h"
#include "store/keptstore.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// How far a subtree moves in the first pass of a step.
constexpr int sprnearradius = 3;
// Random SPR moves of one perturbation, each within so many edges of the subtree's place.
constexpr int sprperturbmoves = 2;
constexpr int sprperturbradius = 4;
// The climb after a perturbation prunes only the subtrees within so many edges of where the
// random moves took a subtree from and to: elsewhere the tree is the best tree's, whose
// neighbourhood was searched.
constexpr int sprperturbreach = 3;
// Places of a pruned subtree costed exactly when none is priced below the tree: on guigo16 the
// walk's best place is among the best 4 by price for 27 subtrees of 30 (bench/RESULTS.md).
constexpr size_t sprpricedcandidates = 4;
// Kept trees costed exactly before a climb with gene-tree polytomies gives up.
constexpr size_t sprexactcandidates = 8;
// Up to this many species, every SPR neighbour is costed exactly instead: there are at most a
// few hundred, and a small tree's optimum is the one users check a program by.
constexpr int sprexactallspecies = 10;

// Marks the nodes within reach edges of v.
void markaround(const RootedTree& W, short v, int reach, std::vector<char>& region) {
  region[v] = 1;
  if (reach == 0) return;
  if (v != W.root) markaround(W, W.parent[v], reach - 1, region);
  if (v >= W.leaves) {
    markaround(W, W.son[v - W.leaves], reach - 1, region);
    markaround(W, W.son[v], reach - 1, region);
  }
}

// Moves a random subtree to a place drawn uniformly from those within sprperturbradius, and
// marks the region around both places.
void randommove(SprWalk& walk, RootedTree& W, std::vector<char>& region) {
  short P;
  do P = static_cast<short>(rand() % W.total);
  while (P == W.root);
  markaround(W, walk.sibling(P), sprperturbreach, region);
  SprPlace chosen;
  long seen = 0;
  walk.walk(
      P,
      [&](const SprPlace& here) {
        if (rand() % ++seen == 0) chosen = here;
        return true;
      },
      sprperturbradius);
  if (seen) walk.go(P, chosen);
  markaround(W, P, sprperturbreach, region);
}

// One SPR search: the tree it works on, the store of trees met, and where it stands.
class SprSearch {
 public:
  SprSearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
            const SprOptions& o)
      : starts(starts),
        W(*starts[0]),
        genes(genes),
        o(o),
        store(o.keep),
        walk(W, genes),
        pricer(W, genes) {
    walk.start(W.initGTS(genes, 1));
    walk.moves = 1;
    offer();
    best = walk.cost().mut();
  }

  void run() {
    for (size_t i = 0; !stopped;) {
      if (o.fuse) {
        climb(0, true, nullptr);
        if (!stopped) fuseoptima();
      } else {
        climb(nnibigsteps, false, nullptr);
      }
      if (stopped || searchstop() || !nextstart(i)) break;
    }
    if (o.fuse && !stopped && !searchstop()) {
      sortoptima();
      prepare(optima[0].second);
      best = walk.cost().mut();
      step++;
      climb(nnibigsteps, false, nullptr);
    }
    perturbation();
    report();
  }

 private:
  std::vector<RootedTree*>& starts;
  RootedTree& W;
  std::vector<UnrootedTree*>& genes;
  const SprOptions& o;
  KeptStore store;
  FingerprintSet exact;  // kept trees costed exactly by exactneighbour
  SprWalk walk;
  RegraftPricer pricer;
  KeptStore::Entry* entry = nullptr;  // the store's entry of the tree last offered
  double best;                        // the cost a step must beat
  int step = 1;
  short rotation = 0;                 // the subtree a pass prunes first
  bool stopped = false;
  int made = 0;                       // starts made by o.makestart
  // Local optima of the starts and of the fused trees, with their costs.
  std::vector<std::pair<double, std::vector<short>>> optima;

  // Offers W in its present shape; true when the store had not met it.
  bool offer() {
    return store.add(walk.fingerprint(), walk.cost().mut(),
                     [&](std::vector<short>& enc) { enc = encoding(); }, entry);
  }

  std::vector<short> encoding() {
    std::vector<short> enc(W.reprlen());
    W.repr(enc.data());
    return enc;
  }

  void prepare(const std::vector<short>& enc) {
    TreeRepr r(const_cast<short*>(enc.data()), static_cast<int>(enc.size()), 0);
    W.replace(&r);
    walk.start(W.initGTS(genes, 0));
  }

  void costerror(double expected) {
    exitstream() << "Cost err " << costtext(expected) << " " << costtext(walk.cost().mut())
              << std::endl;
    save();
    kelvoraexit(-1);
  }

  // Gene trees with polytomies keep their resolutions while a step tries its moves; once the
  // tree has changed they are resolved for it again, which can only lower its cost.
  // Under held resolutions a neighbour looks dearer than it is: before a climb gives up, the
  // cheapest kept trees not yet searched from are costed exactly, and the best of them is taken
  // when it beats the tree. True when one was.
  bool exactneighbour() {
    if (!anymultiforms() || stopped) return false;
    const std::vector<short> here = encoding();
    const Fingerprint herefp = walk.fingerprint();
    std::vector<std::pair<Fingerprint, std::vector<short>>> cands;
    if (W.leaves <= sprexactallspecies) {
      FingerprintSet met;
      met.insert(herefp);
      for (short P = 0; P < W.total; P++) {
        if (P == W.root) continue;
        walk.walk(P, [&](const SprPlace&) {
          if (!met.contains(walk.fingerprint()) && !exact.contains(walk.fingerprint())) {
            met.insert(walk.fingerprint());
            cands.emplace_back(walk.fingerprint(), encoding());
          }
          return true;
        });
      }
    }
    for (const auto& kv : store.trees()) {
      if (W.leaves <= sprexactallspecies) break;
      if (cands.size() == sprexactcandidates) break;
      const KeptStore::Entry& e = kv.second;
      if (e.expanded || e.fp == herefp || exact.contains(e.fp)) continue;
      cands.emplace_back(e.fp, e.enc);
    }
    double bestcost = best;
    int pick = -1;
    for (size_t i = 0; i < cands.size(); i++) {
      prepare(cands[i].second);
      exact.insert(cands[i].first);
      store.lowerorkeep(cands[i].first, walk.cost().mut(), cands[i].second, entry);
      if (walk.cost().mut() < bestcost) {
        bestcost = walk.cost().mut();
        pick = static_cast<int>(i);
      }
    }
    if (cands.empty()) return false;
    prepare(pick < 0 ? here : cands[pick].second);
    if (pick < 0) return false;
    best = bestcost;
    return true;
  }

  void resolveagain() {
    if (!anymultiforms()) return;
    walk.start(W.initGTS(genes, 0));
    best = walk.cost().mut();
    store.lower(walk.fingerprint(), best, entry);
  }

  bool pollstop() {
    if (searchstop()) stopped = true;
    return stopped;
  }

  // Prices every place of each subtree in turn (those the region marks, when given) and moves
  // the first subtree that has a place cheaper than the tree. A price keeps each gene tree at
  // its present rooting, an upper bound of the exact cost: a place priced below the tree is
  // taken at once; otherwise the best few by price are costed exactly, since a re-rooting can
  // make one of them cheaper than the tree.
  bool pricedpass(std::vector<char>* region, long& processed, long& newtrees, int& pruned) {
    std::vector<std::pair<short, short>> steps;
    for (int k = 0; k < W.total; k++) {
      const short P = static_cast<short>((rotation + k) % W.total);
      if (P == W.root || (region && !(*region)[P])) continue;
      if (pruned++ % 10 == 0) std::cout << "." << std::flush;
      pricer.price(P, walk.cost());
      const long before = walk.moves;
      const std::vector<short> ranked = pricer.ranked(sprpricedcandidates);
      short to = -1;
      double least = best;
      if (!ranked.empty() && pricer.cost(ranked[0]).mut() < best) {
        to = ranked[0];
        least = pricer.cost(to).mut();
      } else {
        // Tried in a journal of their own; an outer one (a perturbation's) resumes after.
        std::vector<std::pair<short, short>>* outer = walk.recording();
        for (short x : ranked) {
          walk.record(&steps);
          walk.go(P, pricer.route(x));
          walk.record(outer);
          if (offer()) newtrees++;
          if (walk.cost().mut() < least) {
            least = walk.cost().mut();
            to = x;
          }
          walk.undo(steps);
          if (pollstop()) break;
        }
      }
      if (to >= 0 && !stopped) {
        walk.go(P, pricer.route(to));
        if (walk.cost().mut() > least) costerror(least);
        if (offer()) newtrees++;
        best = walk.cost().mut();
        return moved(P, before, processed, region);
      }
      processed += walk.moves - before;
      if (pollstop()) return false;
    }
    return false;
  }

  // After P moved to a better place: the next pass starts after P, and a region grows
  // around it. Always true, for the pass to return.
  bool moved(short P, long before, long& processed, std::vector<char>* region) {
    processed += walk.moves - before;
    rotation = static_cast<short>((P + 1) % W.total);
    if (region) markaround(W, P, sprperturbreach, *region);
    pollstop();
    return true;
  }

  // Prunes each subtree in turn (those the region marks, when given) and regrafts it within
  // radius edges (everywhere with a negative radius); the first subtree whose best place beats
  // the tree moves there. True when one did.
  bool pass(int radius, std::vector<char>* region, long& processed, long& newtrees, int& pruned) {
    for (int k = 0; k < W.total; k++) {
      const short P = static_cast<short>((rotation + k) % W.total);
      if (P == W.root || (region && !(*region)[P])) continue;
      if (pruned++ % 10 == 0) std::cout << "." << std::flush;
      double bestplace = best;
      SprPlace place;
      long before = walk.moves;
      walk.walk(
          P,
          [&](const SprPlace& here) {
            double f = walk.cost().mut();
            if (offer()) newtrees++;
            if (f < bestplace) {
              bestplace = f;
              place = here;
            }
            return true;
          },
          radius);
      if (bestplace < best) {
        walk.go(P, place);
        if (walk.cost().mut() != bestplace) costerror(bestplace);
        best = bestplace;
        return moved(P, before, processed, region);
      }
      processed += walk.moves - before;
      if (pollstop()) return false;
    }
    return false;
  }

  // Steps from W until no step improves it; with bigsteps, that many more steps go on from the
  // cheapest kept trees not yet searched from. A near climb never tries the whole neighbourhood.
  // A region limits the subtrees pruned to those it marks, and grows around each improvement.
  void climb(int bigsteps, bool nearonly, std::vector<char>* region) {
    int remaining = bigsteps;
    for (;;) {
      if (pollstop()) return;
      if (offer(), entry) entry->expanded = true;
      std::cout << step << ". " << costtext(walk.cost().mut()) << "/"
                << costtext(store.optimal()) << "/" << costtext(best) << ". Searching"
                << std::flush;
      long processed = 0, newtrees = 0;
      int pruned = 0;
      // Every subtree walked near its place, where most improvements are and a place costs
      // little, and the whole neighbourhood only when that finds nothing. With o.priced every
      // place of every subtree is priced instead, the best few costed exactly, and the walk
      // confirms each step that finds nothing.
      bool found = false;
      if (!o.priced) {
        found = pass(sprnearradius, region, processed, newtrees, pruned);
        if (!found && !stopped && !nearonly) found = pass(-1, region, processed, newtrees, pruned);
      } else {
        found = pricedpass(region, processed, newtrees, pruned);
        // The walk confirms a local optimum. Left out for trees costlier than the best met (as
        // -j steps go on from), it ended guigo16 seed 3 at 281 instead of 278.
        if (!found && !stopped)
          found = pass(nearonly ? sprnearradius : -1, region, processed, newtrees, pruned);
      }
      if (!found && !stopped) found = exactneighbour();
      std::cout << " (" << processed << " processed/" << newtrees << " new trees)";
      if (stopped) {
        std::cout << " stopped" << std::endl;
        return;
      }
      if (found) {
        std::cout << " new optimal found :)" << std::endl;
        resolveagain();
        remaining = bigsteps;
      } else {
        std::cout << " no improvement" << std::endl;
        if (remaining == 0) return;
        remaining--;
        double cost;
        KeptStore::Entry* next = store.nextwaiting(cost);
        if (!next) return;
        prepare(next->enc);
      }
      step++;
    }
  }

  // Prepares the next start tree that the store has not met yet, making one when the given
  // ones are used up; false when there is none.
  bool nextstart(size_t& i) {
    for (;;) {
      if (++i == starts.size()) {
        if (made == o.laterstarts || searchstop()) return false;
        starts.push_back(o.makestart());
        made++;
      }
      std::vector<short> enc(W.reprlen());
      starts[i]->repr(enc.data());
      prepare(enc);
      best = walk.cost().mut();
      if (!offer()) continue;
      std::cout << "Initializing next species tree" << std::endl;
      return true;
    }
  }

  void sortoptima() {
    std::stable_sort(optima.begin(), optima.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
  }

  // Adds W, a local optimum, to the optima and fuses every other optimum into the best of them,
  // cheapest first: each candidate cheaper than the fused tree so far replaces it. A fused tree
  // is climbed and becomes an optimum too.
  void fuseoptima() {
    optima.emplace_back(walk.cost().mut(), encoding());
    sortoptima();
    std::vector<short> fused = optima[0].second;
    double cost = optima[0].first;
    bool improved = false;
    for (size_t k = 1; k < optima.size() && !stopped; k++) {
      for (bool again = true; again && !stopped;) {
        again = false;
        for (const auto& cand : fusecandidates(fused, optima[k].second)) {
          prepare(cand);
          offer();
          if (walk.cost().mut() < cost) {
            fused = cand;
            cost = walk.cost().mut();
            std::cout << "Fusion: " << costtext(cost) << std::endl;
            improved = again = true;
            break;
          }
          if (pollstop()) break;
        }
      }
    }
    if (!improved || stopped) return;
    prepare(fused);
    best = cost;
    step++;
    climb(0, true, nullptr);
    optima.emplace_back(walk.cost().mut(), encoding());
  }

  // Iterated local search: random SPR moves kick the best tree out of its local optimum and a
  // climb near them follows. A result no worse is kept; otherwise the moves are taken back.
  void perturbation() {
    if (o.perturb > 0 && !stopped && walk.cost().mut() != store.optimal())
      prepare(store.trees().begin()->second.enc);
    std::vector<std::pair<short, short>> steps;
    std::vector<char> region;
    for (long r = 1; r <= o.perturb && !stopped && !searchstop(); r++) {
      const double before = walk.cost().mut();
      region.assign(W.total, 0);
      walk.record(&steps);
      for (int k = 0; k < sprperturbmoves; k++) randommove(walk, W, region);
      best = walk.cost().mut();
      std::cout << "Perturbation " << r << ": " << costtext(best) << std::endl;
      step++;
      climb(0, true, &region);
      walk.record(nullptr);
      if (stopped) break;  // the store holds the best tree; taking moves back would only cost time
      if (walk.cost().mut() <= before) {
        steps.clear();
      } else {
        walk.undo(steps);
        // Taken back under resolutions made on the way, the cost is a bound until resolved.
        if (anymultiforms())
          resolveagain();
        else if (walk.cost().mut() != before)
          costerror(before);
      }
    }
  }

  void report() {
    // Costs met under held resolutions are bounds: the kept trees get their exact ones, while
    // the time limit allows (cheapest first), and only those are kept.
    if (anymultiforms())
      store.recost(
          [&](const std::vector<short>& enc) {
            prepare(enc);
            return walk.cost().mut();
          },
          [&]() { return !searchovertime(); });
    // A time limit ends the search as planned; a signal cuts it short.
    std::cout << (stopsignal ? "Search stopped" : "OK. Search completed") << std::endl;
    std::cout << "Number of NNI's:" << walk.moves << std::endl;
    std::cout << "Unique trees:" << store.unique() << std::endl;
    std::cout << "Optimal cost:" << costtext(store.optimal()) << std::endl;
    std::cout << "Number of optimal trees:" << store.optcount() << std::endl;
    save();
  }

  void save() {
    ArrTab tab;
    for (auto& kv : store.trees()) {
      std::vector<short> enc = kv.second.enc;
      TreeRepr* e = nullptr;
      tab.add(enc.data(), static_cast<int>(enc.size()), kv.first, e);
    }
    keepoptimal(tab);
    if (o.save) tab.save();
  }
};

}  // namespace

void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
               const SprOptions& o) {
  checkstarts(starts);
  SprSearch(starts, genes, o).run();
}
