#include "search/nnisearch.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/costformat.h"
#include "search/checkpoint.h"
#include "search/progress.h"
#include "search/searchcontrol.h"
#include "search/searchdriver.h"
#include "store/bytes.h"
#include "store/arrtab.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "io/newick.h"
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

NniWalk::NniWalk(RootedTree& W, std::vector<UnrootedTree*>& genes, ArrTab& store)
    : W(W), genes(genes), store(store), rotation(W.leaves) {}

int NniWalk::smpexplorerec3single(int depth) {
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
        int deeper = smpexplorerec3single(depth - 1);
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

namespace {

// The NNI search as the driver runs it: each start climbed step by step, then the next start
// the store has not met.
class NniSearch : public SearchSteps {
 public:
  NniSearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes, int maxdepth,
            bool save)
      : starts(starts), genes(genes), W(*starts[0]), maxdepth(maxdepth), saving(save) {
    x.cost = W.initGTS(genes, 1);
    store.add(encode(W), W.reprlen(), x.cost.mut(), current);
    store.add2waiting(current);
    x.best = x.cost.mut();
  }

  At advance() override {
    if (phase == Phase::Report) {
      report();
      return At::Done;
    }
    // A step, and then the next start when the climb is over, up to the next step.
    climbstep();
    while (phase == Phase::NextStart) nextstart();
    return phase == Phase::Report ? At::Ending : At::Boundary;
  }

  RootedTree& tree() override { return W; }
  bool stopped() const override { return halted; }

  void mark() override {
    marked = Marks{phase, step, x.rotation, remaining, i, x.moves, x.best, current};
  }

  void save(ByteWriter& out) const override {
    out.put<uint8_t>(static_cast<uint8_t>(marked.phase));
    out.put<int32_t>(marked.step);
    out.put<int32_t>(marked.rotation);
    out.put<int32_t>(marked.remaining);
    out.put<uint64_t>(marked.i);
    out.put<int64_t>(marked.moves);
    out.put(marked.best);
    savestarts(out, starts);
    store.savestate(out, {marked.current});
  }

  void load(ByteReader& in) override {
    const uint8_t p = in.get<uint8_t>();
    if (p != static_cast<uint8_t>(Phase::Climb) && p != static_cast<uint8_t>(Phase::Report))
      in.damaged();
    phase = static_cast<Phase>(p);
    step = in.get<int32_t>();
    x.rotation = in.get<int32_t>();
    remaining = in.get<int32_t>();
    i = in.get<uint64_t>();
    x.moves = in.get<int64_t>();
    x.best = in.get<double>();
    loadstarts(in, starts);
    if (i > starts.size() || x.rotation < 0 || x.rotation >= W.total) in.damaged();
    current = store.loadstate(in).at(0);  // in place of the constructor's first tree
  }

 private:
  enum class Phase : uint8_t { Climb, NextStart, Report };
  std::vector<RootedTree*>& starts;
  std::vector<UnrootedTree*>& genes;
  RootedTree& W;
  const int maxdepth;
  const bool saving;
  ArrTab store;
  NniWalk x{W, genes, store};
  TreeRepr* current = nullptr;  // the tree the next step searches from
  int step = 1;
  int remaining = nnibigsteps;  // -j steps left from trees that did not improve
  size_t i = 0;                 // the start being climbed
  bool halted = false;
  Phase phase = Phase::Climb;
  struct Marks {
    Phase phase;
    int step, rotation, remaining;
    size_t i;
    long moves;
    double best;
    const TreeRepr* current;
  } marked{};

  void climbstep() {
    progresssearch(x.moves, store.optimal());
    if (searchstop()) return stop();
    if (!current) {
      std::cout << "No more new trees..." << std::endl;
      phase = Phase::NextStart;
      return;
    }
    current->expanded = true;
    stepline(step, current->cost, store.optimal(), x.best);
    x.processed = x.newtrees = 0;
    int found = 0;
    for (int d = 0; d <= maxdepth && !found; d++) found = x.smpexplorerec3single(d);
    if (found < 0) {
      stepend(x.processed, x.newtrees, StepEnd::Stopped);
      return stop();
    }
    if (found) {
      // W already has the shape of the cheaper tree, and x.cost describes it. Gene trees with
      // polytomies were held at their resolutions: resolved for W, they can only cost less.
      stepend(x.processed, x.newtrees, StepEnd::Improved);
      if (anymultiforms()) {
        x.cost = W.initGTS(genes, 0);
        x.best = std::min(x.best, x.cost.mut());
      }
      remaining = nnibigsteps;
      current = store.getwaiting(1);
    } else {
      stepend(x.processed, x.newtrees, StepEnd::Unimproved);
      if (remaining == 0) {
        phase = Phase::NextStart;
        return;
      }
      remaining--;
      current = store.getwaiting(1);
      if (!current) {
        phase = Phase::NextStart;
        return;
      }
      W.replace(current);
      x.cost = W.initGTS(genes, 0);
    }
    step++;
  }

  void stop() {
    halted = true;
    phase = Phase::Report;
  }

  // The next start tree that the store does not hold yet.
  void nextstart() {
    const int len = W.reprlen();
    std::vector<short> startbuf(len);
    while (++i < starts.size()) {
      TreeRepr r(starts[i]->repr(startbuf.data()), len, 0);
      W.replace(&r);
      x.cost = W.initGTS(genes, 0);
      x.best = x.cost.mut();
      TreeRepr* entry = nullptr;
      if (store.add(encode(W), len, x.best, entry) == 0) continue;
      std::cout << "Initializing next species tree" << std::endl;
      store.add2waiting(entry);
      current = entry;
      remaining = nnibigsteps;
      phase = Phase::Climb;
      return;
    }
    phase = Phase::Report;
  }

  void report() {
    // Costs met under held resolutions are bounds: every stored tree gets its exact one.
    ArrTab exact;
    ArrTab& done = anymultiforms() ? costedexactly(store, W, genes, exact) : store;
    finishsearch(x.moves, done, saving);
  }
};

}  // namespace

void smpexplore2(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
                 int maxdepth, bool save) {
  checkstarts(starts);
  NniSearch search(starts, genes, maxdepth, save);
  drivesearch(search, 'N', save);
}
