#include "search/nnisearch.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/costformat.h"
#include "search/searchcontrol.h"
#include "store/arrtab.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

int nnimaxdepth = 0;
int nnibigsteps = 2;

// One encoding buffer for every neighbour: it is read by the store before the next move.
static std::vector<short> reprbuf;

static short* encode(RootedTree& S) {
  reprbuf.resize(S.reprlen());
  return S.repr(reprbuf.data());
}

int smpexplorerec3single(RootedTree& W, std::vector<UnrootedTree*>& genes, ArrTab& store,
                         DlTotal& cost, DlTotal& delta, int depth, long& moves, int& rotation,
                         int& processed, int& newtrees, double& best) {
  const int m = W.total - W.leaves;
  int info = 0;
  std::string text;
  for (int i = 0; i < m; i++) {
    short a = static_cast<short>(W.leaves + (rotation + i) % m);
    for (int variant = 0; variant < 2; variant++) {
      // Here W has the shape it had on entry and cost describes it: a stop can end the search.
      if (searchstop()) return -1;
      double before = cost.mut();
      for (int k = 0; k < 3; k++) {
        if (!W.nni(a, variant, genes, delta, info, text)) continue;
        if (processed % 10 == 0) std::cout << "." << std::flush;
        processed++;
        moves++;
        cost = cost + delta;
        if (k == 2) {  // three moves at one place restore the tree and so its cost
          if (cost.mut() == before) break;
          exitstream() << "Cost err " << costtext(before) << " " << costtext(cost.mut())
                       << std::endl;
          store.save();
          kelvoraexit(-1);
        }
        double f = cost.mut();
        bool cheaper = best > f;
        TreeRepr* entry = nullptr;
        int res = store.add(encode(W), W.reprlen(), f, entry);
        if (cheaper) {
          rotation = a;
          store.add2waiting(entry);
          best = f;
          return 1;
        }
        if (entry->expanded) continue;
        if (res != 0) {
          newtrees++;
          store.add2waiting(entry);
        }
        if (depth < 1) continue;
        int deeper = smpexplorerec3single(W, genes, store, cost, delta, depth - 1, moves,
                                          rotation, processed, newtrees, best);
        if (deeper) return deeper;
      }
    }
  }
  return 0;
}

// The trees of store in exact, each costed again with the gene trees resolved for it.
// Cheapest first, while the time limit allows; only those are kept.
static ArrTab& costedexactly(ArrTab& store, RootedTree& W, std::vector<UnrootedTree*>& genes,
                          ArrTab& exact) {
  for (auto& bucket : store.tab) {
    for (TreeRepr* r : bucket.second) {
      if (exact.cnt > 0 && searchovertime()) return exact;
      W.replace(r);
      double c = W.initGTS(genes, 0).mut();
      TreeRepr* entry = nullptr;
      exact.add(encode(W), W.reprlen(), c, entry);
    }
  }
  return exact;
}

static std::string speciesof(RootedTree& S) {
  std::vector<short> ids(S.lab, S.lab + S.leaves);
  std::sort(ids.begin(), ids.end());
  return std::string(reinterpret_cast<const char*>(ids.data()), ids.size() * sizeof(short));
}

// Every start tree is rebuilt inside the first one from its encoding, which needs the same
// species; a tree over other species would be misread, so it is refused before any output.
void checkstarts(std::vector<RootedTree*>& starts) {
  if (starts.empty()) fatal("No species tree to start the search from");
  std::string first = speciesof(*starts[0]);
  for (size_t i = 1; i < starts.size(); i++) {
    if (speciesof(*starts[i]) != first) {
      std::ostringstream msg;
      msg << "Start species tree " << i + 1 << " does not have the species of the first one: ";
      starts[i]->print(msg);
      fatal(msg.str());
    }
  }
}

void smpexplore2(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
                 int maxdepth, bool save) {
  checkstarts(starts);
  ArrTab store;
  RootedTree& W = *starts[0];
  DlTotal cost = W.initGTS(genes, 1);
  long moves = 1;
  DlTotal delta;
  int step = 1;
  int rotation = W.leaves;
  const int len = W.reprlen();
  std::vector<short> startbuf(len);

  TreeRepr* current = nullptr;
  store.add(encode(W), len, cost.mut(), current);
  store.add2waiting(current);
  double best = cost.mut();

  size_t i = 0;
  bool stopped = false;
  while (!stopped) {
    int remaining = nnibigsteps;
    for (;;) {
      if (searchstop()) {
        stopped = true;
        break;
      }
      if (!current) {
        std::cout << "No more new trees..." << std::endl;
        break;
      }
      current->expanded = true;
      std::cout << step << ". " << costtext(current->cost) << "/" << costtext(store.optimal())
                << "/" << costtext(best) << ". Searching" << std::flush;
      int processed = 0, newtrees = 0, found = 0;
      for (int d = 0; d <= maxdepth; d++) {
        found = smpexplorerec3single(W, genes, store, cost, delta, d, moves, rotation,
                                     processed, newtrees, best);
        if (found) break;
      }
      std::cout << " (" << processed << " processed/" << newtrees << " new trees)";
      if (found < 0) {
        std::cout << " stopped" << std::endl;
        stopped = true;
        break;
      }
      if (found) {
        // W already has the shape of the cheaper tree, and cost describes it. Gene trees with
        // polytomies were held at their resolutions: resolved for W, they can only cost less.
        std::cout << " new optimal found :)" << std::endl;
        if (anymultiforms()) {
          cost = W.initGTS(genes, 0);
          best = std::min(best, cost.mut());
        }
        remaining = nnibigsteps;
        current = store.getwaiting(1);
      } else {
        std::cout << " no improvement" << std::endl;
        if (remaining == 0) break;
        remaining--;
        current = store.getwaiting(1);
        if (!current) break;
        W.replace(current);
        cost = W.initGTS(genes, 0);
      }
      step++;
    }

    // The next start tree that the store does not hold yet.
    bool next = false;
    while (!stopped && !next && ++i < starts.size()) {
      TreeRepr r(starts[i]->repr(startbuf.data()), len, 0);
      W.replace(&r);
      cost = W.initGTS(genes, 0);
      best = cost.mut();
      TreeRepr* entry = nullptr;
      if (store.add(encode(W), len, best, entry) == 0) continue;
      std::cout << "Initializing next species tree" << std::endl;
      store.add2waiting(entry);
      current = entry;
      next = true;
    }
    if (!next) break;
  }

  // Costs met under held resolutions are bounds: every stored tree gets its exact one.
  ArrTab exact;
  ArrTab& done = anymultiforms() ? costedexactly(store, W, genes, exact) : store;
  // A stopped search reports and saves what it found as a finished one does; only a signal
  // makes it say so, a time limit ends it as planned.
  std::cout << (stopsignal ? "Search stopped" : "OK. Search completed") << std::endl;
  std::cout << "Number of NNI's:" << moves << std::endl;
  std::cout << "Unique trees:" << done.cnt << std::endl;
  std::cout << "Optimal cost:" << costtext(done.optimal()) << std::endl;
  std::cout << "Number of optimal trees:" << done.optcnt << std::endl;
  keepoptimal(done);
  if (save) done.save();
}
