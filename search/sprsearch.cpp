#include "search/sprsearch.h"

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <vector>

#include "reconcile/costformat.h"
#include "search/nnisearch.h"
#include "search/fuse.h"
#include "search/searchcontrol.h"
#include "search/sprwalk.h"
#include "store/arrtab.h"
#include "store/keptstore.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
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

struct SprRun {
  RootedTree& W;
  std::vector<UnrootedTree*>& genes;
  KeptStore store;
  SprWalk walk;
  std::vector<short> buf;

  SprRun(RootedTree& W, std::vector<UnrootedTree*>& genes, long keep)
      : W(W), genes(genes), store(keep), walk(W, genes), buf(W.reprlen()) {}

  // Offers W in its present shape; true when the store had not met it.
  bool offer(KeptStore::Entry*& entry) {
    return store.add(walk.fingerprint(), walk.cost().mut(),
                     [&](std::vector<short>& enc) {
                       enc.assign(W.reprlen(), 0);
                       W.repr(enc.data());
                     },
                     entry);
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
    std::cout << "Cost err " << costtext(expected) << " " << costtext(walk.cost().mut())
              << std::endl;
    save();
    kelvoraexit(-1);
  }

  void save() {
    ArrTab tab;
    for (auto& kv : store.trees()) {
      std::vector<short> enc = kv.second.enc;
      TreeRepr* entry = nullptr;
      tab.add(enc.data(), static_cast<int>(enc.size()), kv.first, entry);
    }
    keepoptimal(tab);
    tab.save();
  }
};

}  // namespace

void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
               const SprOptions& o) {
  checkstarts(starts);
  RootedTree& W = *starts[0];
  SprRun run(W, genes, o.keep);
  const bool fuse = o.fuse;
  const long perturb = o.perturb;
  int made = 0;
  run.walk.start(W.initGTS(genes, 1));
  run.walk.moves = 1;
  KeptStore::Entry* entry = nullptr;
  run.offer(entry);
  double best = run.walk.cost().mut();
  int step = 1;
  short rotation = 0;
  bool stopped = false;

  // Steps from W until no step improves it; with bigsteps, that many more steps go on from the
  // cheapest kept trees not yet searched from. A near climb never tries the whole neighbourhood.
  // A region limits the subtrees pruned to those it marks, and grows around each improvement.
  auto climb = [&](int bigsteps, bool nearonly, std::vector<char>* region) {
    int remaining = bigsteps;
    for (;;) {
      if (searchstop()) {
        stopped = true;
        return;
      }
      if (run.offer(entry), entry) entry->expanded = true;
      std::cout << step << ". " << costtext(run.walk.cost().mut()) << "/"
                << costtext(run.store.optimal()) << "/" << costtext(best) << ". Searching"
                << std::flush;
      long processed = 0, newtrees = 0;
      bool found = false;
      int pruned = 0;
      // Every subtree regrafted near its place first, where most improvements are and a
      // place costs little; the whole neighbourhood only when that finds nothing.
      auto pass = [&](int radius) {
        for (int k = 0; k < W.total && !found; k++) {
          const short P = static_cast<short>((rotation + k) % W.total);
          if (P == W.root || (region && !(*region)[P])) continue;
          if (pruned++ % 10 == 0) std::cout << "." << std::flush;
          double bestplace = best;
          SprPlace place;
          long before = run.walk.moves;
          run.walk.walk(
              P,
              [&](const SprPlace& here) {
                double f = run.walk.cost().mut();
                if (run.offer(entry)) newtrees++;
                if (f < bestplace) {
                  bestplace = f;
                  place = here;
                }
                return true;
              },
              radius);
          if (bestplace < best) {
            run.walk.go(P, place);
            if (run.walk.cost().mut() != bestplace) run.costerror(bestplace);
            best = bestplace;
            rotation = static_cast<short>((P + 1) % W.total);
            found = true;
            if (region) markaround(W, P, sprperturbreach, *region);
          }
          processed += run.walk.moves - before;
          if (searchstop()) {
            stopped = true;
            return;
          }
        }
      };
      pass(sprnearradius);
      if (!found && !stopped && !nearonly) pass(-1);
      std::cout << " (" << processed << " processed/" << newtrees << " new trees)";
      if (stopped) {
        std::cout << " stopped" << std::endl;
        return;
      }
      if (found) {
        std::cout << " new optimal found :)" << std::endl;
        remaining = bigsteps;
      } else {
        std::cout << " no improvement" << std::endl;
        if (remaining == 0) return;
        remaining--;
        double cost;
        KeptStore::Entry* next = run.store.nextwaiting(cost);
        if (!next) return;
        run.prepare(next->enc);
      }
      step++;
    }
  };

  // With fusing, each start is climbed over its near moves only, and its local optimum is
  // fused with those of the starts before; the best tree is climbed over the whole
  // neighbourhood at the end.
  std::vector<std::pair<double, std::vector<short>>> optima;
  auto fuseoptima = [&]() {
    optima.emplace_back(run.walk.cost().mut(), run.encoding());
    std::stable_sort(optima.begin(), optima.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<short> fused = optima[0].second;
    double cost = optima[0].first;
    bool improved = false;
    for (size_t k = 1; k < optima.size() && !stopped; k++) {
      for (bool again = true; again && !stopped;) {
        again = false;
        for (const auto& cand : fusecandidates(fused, optima[k].second)) {
          run.prepare(cand);
          run.offer(entry);
          if (run.walk.cost().mut() < cost) {
            fused = cand;
            cost = run.walk.cost().mut();
            std::cout << "Fusion: " << costtext(cost) << std::endl;
            improved = again = true;
            break;
          }
          if (searchstop()) {
            stopped = true;
            break;
          }
        }
      }
    }
    if (!improved || stopped) return;
    run.prepare(fused);
    best = cost;
    step++;
    climb(0, true, nullptr);
    optima.emplace_back(run.walk.cost().mut(), run.encoding());
  };

  for (size_t i = 0; !stopped;) {
    if (fuse) {
      climb(0, true, nullptr);
      if (!stopped) fuseoptima();
    } else {
      climb(nnibigsteps, false, nullptr);
    }
    if (stopped || searchstop()) break;

    // The next start tree that the store has not met yet.
    bool next = false;
    while (!next) {
      if (++i == starts.size()) {
        if (made == o.laterstarts || searchstop()) break;
        starts.push_back(o.makestart());
        made++;
      }
      std::vector<short> enc(W.reprlen());
      starts[i]->repr(enc.data());
      run.prepare(enc);
      best = run.walk.cost().mut();
      if (!run.offer(entry)) continue;
      std::cout << "Initializing next species tree" << std::endl;
      next = true;
    }
    if (!next) break;
  }
  if (fuse && !stopped && !searchstop()) {
    std::stable_sort(optima.begin(), optima.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    run.prepare(optima[0].second);
    best = run.walk.cost().mut();
    step++;
    climb(nnibigsteps, false, nullptr);
  }

  // Iterated local search: random SPR moves kick the best tree out of its local optimum and a
  // climb near them follows. A result no worse is kept; otherwise the moves are taken back.
  if (perturb > 0 && !stopped && run.walk.cost().mut() != run.store.optimal())
    run.prepare(run.store.trees().begin()->second.enc);
  std::vector<std::pair<short, short>> steps;
  std::vector<char> region;
  for (long r = 1; r <= perturb && !stopped && !searchstop(); r++) {
    const double before = run.walk.cost().mut();
    region.assign(W.total, 0);
    run.walk.record(&steps);
    for (int k = 0; k < sprperturbmoves; k++) randommove(run.walk, W, region);
    best = run.walk.cost().mut();
    std::cout << "Perturbation " << r << ": " << costtext(best) << std::endl;
    step++;
    climb(0, true, &region);
    run.walk.record(nullptr);
    if (stopped) break;  // the store holds the best tree; taking moves back would only cost time
    if (run.walk.cost().mut() <= before) {
      steps.clear();
    } else {
      run.walk.undo(steps);
      if (run.walk.cost().mut() != before) run.costerror(before);
    }
  }

  // A time limit ends the search as planned; a signal cuts it short.
  std::cout << (stopsignal ? "Search stopped" : "OK. Search completed") << std::endl;
  std::cout << "Number of NNI's:" << run.walk.moves << std::endl;
  std::cout << "Unique trees:" << run.store.unique() << std::endl;
  std::cout << "Optimal cost:" << costtext(run.store.optimal()) << std::endl;
  std::cout << "Number of optimal trees:" << run.store.optcount() << std::endl;
  run.save();
}
