#include "search/sprsearch.h"

#include <iostream>
#include <sstream>
#include <vector>

#include "reconcile/costformat.h"
#include "search/nnisearch.h"
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

void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes, long keep) {
  checkstarts(starts);
  RootedTree& W = *starts[0];
  SprRun run(W, genes, keep);
  run.walk.start(W.initGTS(genes, 1));
  run.walk.moves = 1;
  KeptStore::Entry* entry = nullptr;
  run.offer(entry);
  double best = run.walk.cost().mut();
  int step = 1;
  short rotation = 0;
  bool stopped = false;

  for (size_t i = 0; !stopped;) {
    int remaining = nnibigsteps;
    for (;;) {
      if (searchstop()) {
        stopped = true;
        break;
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
          if (P == W.root) continue;
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
          }
          processed += run.walk.moves - before;
          if (searchstop()) {
            stopped = true;
            return;
          }
        }
      };
      pass(sprnearradius);
      if (!found && !stopped) pass(-1);
      std::cout << " (" << processed << " processed/" << newtrees << " new trees)";
      if (stopped) {
        std::cout << " stopped" << std::endl;
        break;
      }
      if (found) {
        std::cout << " new optimal found :)" << std::endl;
        remaining = nnibigsteps;
      } else {
        std::cout << " no improvement" << std::endl;
        if (stopped || remaining == 0) break;
        remaining--;
        double cost;
        KeptStore::Entry* next = run.store.nextwaiting(cost);
        if (!next) break;
        run.prepare(next->enc);
      }
      if (stopped) break;
      step++;
    }
    if (stopped || searchstop()) break;

    // The next start tree that the store has not met yet.
    bool next = false;
    while (!next && ++i < starts.size()) {
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

  // A time limit ends the search as planned; a signal cuts it short.
  std::cout << (stopsignal ? "Search stopped" : "OK. Search completed") << std::endl;
  std::cout << "Number of NNI's:" << run.walk.moves << std::endl;
  std::cout << "Unique trees:" << run.store.unique() << std::endl;
  std::cout << "Optimal cost:" << costtext(run.store.optimal()) << std::endl;
  std::cout << "Number of optimal trees:" << run.store.optcount() << std::endl;
  run.save();
}
