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
#include "search/checkpoint.h"
#include "search/progress.h"
#include "search/searchcontrol.h"
#include "search/searchdriver.h"
#include "search/sprwalk.h"
#include "store/arrtab.h"
#include "store/bytes.h"
#include "store/keptstore.h"
#include "store/treerepr.h"
#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "io/newick.h"
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
  do P = static_cast<short>(drawrandom() % W.total);
  while (P == W.root);
  markaround(W, walk.sibling(P), sprperturbreach, region);
  SprPlace chosen;
  long seen = 0;
  walk.walk(
      P,
      [&](const SprPlace& here) {
        if (drawrandom() % ++seen == 0) chosen = here;
        return true;
      },
      sprperturbradius);
  if (seen) walk.go(P, chosen);
  markaround(W, P, sprperturbreach, region);
}

// One SPR search: the tree it works on, the store of trees met, and where it stands. The
// driver runs it step by step: each climb step ends at a boundary, and the work between
// climbs (the next start, fusing, a perturbation) runs on to the next climb's first step.
class SprSearch : public SearchSteps {
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
    startclimb();
  }

  At advance() override {
    if (phase == Phase::Report) {
      report();
      return At::Done;
    }
    if (phase == Phase::Climb) climbstep();
    while (phase != Phase::Climb && phase != Phase::Report) between();
    return phase == Phase::Report ? At::Ending : At::Boundary;
  }

  RootedTree& tree() override { return W; }
  bool stopped() const override { return halted; }

  void mark() override {
    marked.phase = phase;
    marked.climbing = climbing;
    marked.remaining = remaining;
    marked.step = step;
    marked.best = best;
    marked.rotation = rotation;
    marked.moves = walk.moves;
    marked.i = i;
    marked.made = made;
    marked.round = round;
    marked.before = before;
    marked.region = region;
    marked.steps = steps;
    marked.optima = optima;
  }

  void save(ByteWriter& out) const override {
    const Marks& m = marked;
    out.put(m.phase);
    out.put<int32_t>(m.climbing.bigsteps);
    out.put<uint8_t>(m.climbing.nearonly);
    out.put<uint8_t>(m.climbing.regioned);
    out.put(m.climbing.then);
    out.put<int32_t>(m.remaining);
    out.put<int32_t>(m.step);
    out.put(m.best);
    out.put(m.rotation);
    out.put<int64_t>(m.moves);
    out.put<uint64_t>(m.i);
    out.put<int32_t>(m.made);
    out.put<int64_t>(m.round);
    out.put(m.before);
    out.putvec(m.region);
    out.putvec(m.steps);
    out.put<uint64_t>(m.optima.size());
    for (const auto& opt : m.optima) {
      out.put(opt.first);
      out.putvec(opt.second);
    }
    savestarts(out, starts);
    store.save(out);
    exact.save(out);
  }

  void load(ByteReader& in) override {
    phase = in.get<Phase>();
    climbing.bigsteps = in.get<int32_t>();
    climbing.nearonly = in.get<uint8_t>();
    climbing.regioned = in.get<uint8_t>();
    climbing.then = in.get<Phase>();
    remaining = in.get<int32_t>();
    step = in.get<int32_t>();
    best = in.get<double>();
    rotation = in.get<short>();
    walk.moves = in.get<int64_t>();
    i = in.get<uint64_t>();
    made = in.get<int32_t>();
    round = in.get<int64_t>();
    before = in.get<double>();
    region = in.getvec<char>();
    steps = in.getvec<std::pair<short, short>>();
    optima.clear();
    for (uint64_t n = in.get<uint64_t>(); n > 0; n--) {
      double c = in.get<double>();
      optima.emplace_back(c, in.getvec<short>());
      if (optima.back().second.size() != static_cast<size_t>(W.reprlen())) in.damaged();
    }
    loadstarts(in, starts);
    if ((phase != Phase::Climb && phase != Phase::Report) || i > starts.size() || made < 0 ||
        rotation < 0 || rotation >= W.total ||
        (climbing.regioned && region.size() != static_cast<size_t>(W.total)))
      in.damaged();
    store.load(in);
    exact.load(in);
    // A perturbation's climb journals its moves, to take them back if it ends dearer.
    if (climbing.then == Phase::AfterPerturb) walk.record(&steps);
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
  bool halted = false;
  int made = 0;                       // starts made by o.makestart
  // Local optima of the starts and of the fused trees, with their costs.
  std::vector<std::pair<double, std::vector<short>>> optima;

  // Where the search stands: a climb, or the work that follows one.
  enum class Phase : uint8_t {
    Climb, AfterStart, AfterFuseClimb, NextStart, Final, PerturbBegin, PerturbRound,
    AfterPerturb, Report
  };
  struct Climbing {
    int bigsteps = 0;       // -j steps from kept trees after a step finds nothing
    bool nearonly = false;  // never the whole neighbourhood
    bool regioned = false;  // only the subtrees that region marks
    Phase then = Phase::AfterStart;
  };
  Phase phase = Phase::Climb;
  Climbing climbing;
  int remaining = 0;  // -j steps left in the climb
  size_t i = 0;       // the start being climbed
  long round = 0;     // the perturbation round
  double before = 0;  // the cost before the round's random moves
  std::vector<char> region;                   // where the round's climb prunes
  std::vector<std::pair<short, short>> steps;  // the round's moves, to take back
  struct Marks {
    Phase phase;
    Climbing climbing;
    int remaining, step;
    double best;
    short rotation;
    long moves;
    size_t i;
    int made;
    long round;
    double before;
    std::vector<char> region;
    std::vector<std::pair<short, short>> steps;
    std::vector<std::pair<double, std::vector<short>>> optima;
  } marked{};

  // Offers W in its present shape; true when the store had not met it.
  bool offer() {
    return store.add(walk.fingerprint(), walk.cost().mut(),
                     [&](std::vector<short>& enc) { enc = encoding(); }, entry);
  }

  std::vector<short> encoding() { return encodingof(W); }
  static std::vector<short> encodingof(RootedTree& S) {
    std::vector<short> enc(S.reprlen());
    S.repr(enc.data());
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
    keepoptimal(store);
    if (o.save) savestore(store);
    kelvoraexit(-1);
  }

  // Gene trees with polytomies keep their resolutions while a step tries its moves; once the
  // tree has changed they are resolved for it again, which can only lower its cost.
  // Under held resolutions a neighbour looks dearer than it is: before a climb gives up, the
  // cheapest kept trees not yet searched from are costed exactly, and the best of them is taken
  // when it beats the tree. True when one was.
  bool exactneighbour() {
    if (!anymultiforms() || halted) return false;
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
      if (to >= 0 && !halted) {
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

  // Begins a climb: steps from W until no step improves it; with bigsteps, that many more
  // steps go on from the cheapest kept trees not yet searched from. A near climb never tries
  // the whole neighbourhood. A regioned climb prunes only the subtrees region marks, and the
  // region grows around each improvement. Then the search goes on to then.
  void beginclimb(int bigsteps, bool nearonly, bool regioned, Phase then) {
    climbing = Climbing{bigsteps, nearonly, regioned, then};
    remaining = bigsteps;
    phase = Phase::Climb;
  }

  // The climb of a start: near only, when its optimum is to be fused with the others'.
  void startclimb() {
    if (o.fuse)
      beginclimb(0, true, false, Phase::AfterStart);
    else
      beginclimb(nnibigsteps, false, false, Phase::AfterStart);
  }

  bool pollstop() {
    progresssearch(walk.moves, store.optimal());
    if (searchstop()) halted = true;
    return halted;
  }

  // One step of the climb.
  void climbstep() {
    if (pollstop()) return endclimb();
    if (offer(), entry) entry->expanded = true;
    stepline(step, walk.cost().mut(), store.optimal(), best);
    long processed = 0, newtrees = 0;
    int pruned = 0;
    std::vector<char>* within = climbing.regioned ? &region : nullptr;
    // Every subtree walked near its place, where most improvements are and a place costs
    // little, and the whole neighbourhood only when that finds nothing. With o.priced every
    // place of every subtree is priced instead, the best few costed exactly, and the walk
    // confirms each step that finds nothing.
    bool found = false;
    if (!o.priced) {
      found = pass(sprnearradius, within, processed, newtrees, pruned);
      if (!found && !halted && !climbing.nearonly)
        found = pass(-1, within, processed, newtrees, pruned);
    } else {
      found = pricedpass(within, processed, newtrees, pruned);
      // The walk confirms a local optimum. Left out for trees costlier than the best met (as
      // -j steps go on from), it ended guigo16 seed 3 at 281 instead of 278.
      if (!found && !halted)
        found = pass(climbing.nearonly ? sprnearradius : -1, within, processed, newtrees, pruned);
    }
    if (!found && !halted) found = exactneighbour();
    if (halted) {
      stepend(processed, newtrees, StepEnd::Stopped);
      return endclimb();
    }
    if (found) {
      stepend(processed, newtrees, StepEnd::Improved);
      resolveagain();
      remaining = climbing.bigsteps;
    } else {
      stepend(processed, newtrees, StepEnd::Unimproved);
      if (remaining == 0) return endclimb();
      remaining--;
      double cost;
      KeptStore::Entry* next = store.nextwaiting(cost);
      if (!next) return endclimb();
      prepare(next->enc);
    }
    step++;
  }

  void endclimb() { phase = climbing.then; }

  // The work between climbs, one piece at a time, up to the next climb or the report.
  void between() {
    switch (phase) {
      case Phase::AfterStart:
        if (o.fuse && !halted)
          fuseoptima();
        else
          phase = Phase::NextStart;
        break;
      case Phase::AfterFuseClimb:
        optima.emplace_back(walk.cost().mut(), encoding());
        phase = Phase::NextStart;
        break;
      case Phase::NextStart:
        if (halted || searchstop() || !nextstart())
          phase = Phase::Final;
        else
          startclimb();
        break;
      case Phase::Final:
        // The best fused tree climbed over the whole neighbourhood.
        phase = Phase::PerturbBegin;
        if (o.fuse && !halted && !searchstop()) {
          sortoptima();
          prepare(optima[0].second);
          best = walk.cost().mut();
          step++;
          beginclimb(nnibigsteps, false, false, Phase::PerturbBegin);
        }
        break;
      case Phase::PerturbBegin:
        if (o.perturb > 0 && !halted && walk.cost().mut() != store.optimal())
          prepare(store.trees().begin()->second.enc);
        round = 1;
        phase = Phase::PerturbRound;
        break;
      case Phase::PerturbRound:
        perturbround();
        break;
      case Phase::AfterPerturb:
        afterperturb();
        break;
      case Phase::Climb:
      case Phase::Report:
        break;
    }
  }

  // Prepares the next start tree that the store has not met yet, making one when the given
  // ones are used up; false when there is none.
  bool nextstart() {
    for (;;) {
      if (++i == starts.size()) {
        if (made == o.laterstarts || searchstop()) return false;
        starts.push_back(o.makestart());
        made++;
      }
      prepare(encodingof(*starts[i]));
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
    phase = Phase::NextStart;
    optima.emplace_back(walk.cost().mut(), encoding());
    sortoptima();
    std::vector<short> fused = optima[0].second;
    double cost = optima[0].first;
    bool improved = false;
    for (size_t k = 1; k < optima.size() && !halted; k++) {
      for (bool again = true; again && !halted;) {
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
    if (!improved || halted) return;
    prepare(fused);
    best = cost;
    step++;
    beginclimb(0, true, false, Phase::AfterFuseClimb);
  }

  // Iterated local search: random SPR moves kick the best tree out of its local optimum and a
  // climb near them follows. A result no worse is kept; otherwise the moves are taken back.
  void perturbround() {
    if (!(round <= o.perturb && !halted && !searchstop())) {
      phase = Phase::Report;
      return;
    }
    before = walk.cost().mut();
    region.assign(W.total, 0);
    walk.record(&steps);
    for (int k = 0; k < sprperturbmoves; k++) randommove(walk, W, region);
    best = walk.cost().mut();
    std::cout << "Perturbation " << round << ": " << costtext(best) << std::endl;
    step++;
    beginclimb(0, true, true, Phase::AfterPerturb);
  }

  void afterperturb() {
    walk.record(nullptr);
    if (halted) {  // the store holds the best tree; taking moves back would only cost time
      phase = Phase::Report;
      return;
    }
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
    round++;
    phase = Phase::PerturbRound;
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
    finishsearch(walk.moves, store, o.save);
  }
};

}  // namespace

void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
               const SprOptions& o) {
  checkstarts(starts);
  SprSearch search(starts, genes, o);
  drivesearch(search, 'S', o.save);
}
