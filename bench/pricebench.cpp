// The pricing pass side by side with the walk it replaces, on one collection in one run:
// every place of a sample of pruned subtrees by the walk (one incremental move a place) and
// by pricing, then every subtree priced, then a stepwise-addition start each way.
// Usage: pricebench GENES SPECIES [THREADS [EVERY [SEED]]]
//   GENES: one gene tree a line (species names as leaf labels); SPECIES: the tree whose
//   neighbourhood is measured; EVERY: the walk takes every EVERY-th subtree (default 4);
//   SEED: the species order of the stepwise starts (0: no stepwise starts).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/benchclock.h"
#include "initial/greedy.h"
#include "parallel/pool.h"
#include "search/regraftprice.h"
#include "search/sprwalk.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::vector<std::string> lines(const char* file) {
  std::ifstream in(file);
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) out.push_back(l);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: pricebench GENES SPECIES [THREADS [EVERY [SEED]]]\n";
    return 2;
  }
  setthreads(argc > 3 ? std::atoi(argv[3]) : 1);
  const int every = argc > 4 ? std::atoi(argv[4]) : 4;
  const int seed = argc > 5 ? std::atoi(argv[5]) : 1;
  std::string stext = lines(argv[2]).at(0);
  RootedTree W(stext.data());
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> genes;
  for (std::string& l : lines(argv[1])) {
    owned.push_back(std::make_unique<UnrootedTree>(l.data()));
    genes.push_back(owned.back().get());
  }
  std::printf("%zu gene trees, %d species, %d threads\n", genes.size(), W.leaves, threadcount());

  SprWalk walk(W, genes);
  walk.start(W.initGTS(genes, 1));
  RegraftPricer pricer(W, genes);
  std::printf("tree cost %.0f\n", walk.cost().mut());

  // The sample: the walk finds each subtree's cheapest place; pricing ranks the same places.
  double walkcpu = 0, walkwall = 0, pricecpu = 0, pricewall = 0;
  long sampled = 0, places = 0, agree = 0, moves = 0, exactmoves = 0;
  double exactcpu = 0;
  constexpr size_t topmost = 8;
  std::vector<long> found(topmost, 0);
  std::vector<std::pair<short, short>> steps;
  for (short P = 0; P < W.total; P += static_cast<short>(every)) {
    if (P == W.root) continue;
    sampled++;
    Clock c;
    double best = 1e300;
    const long before = walk.moves;
    walk.walk(P, [&](const SprPlace&) {
      best = std::min(best, walk.cost().mut());
      places++;
      return true;
    });
    moves += walk.moves - before;
    walkcpu += c.cpus();
    walkwall += c.walls();
    Clock d;
    pricer.price(P, walk.cost());
    pricecpu += d.cpus();
    pricewall += d.walls();
    const short x = pricer.cheapest();
    if (x >= 0 && pricer.cost(x).mut() == best) agree++;
    // The best places by price costed exactly, cheapest price first: where the walk's least
    // cost first shows among them.
    std::vector<short> ranked = pricer.ranked(topmost);
    std::vector<short> keep = ranked;
    for (size_t i = 0; i < keep.size(); i++) {
      const short y = keep[i];
      Clock e;
      const long m0 = walk.moves;
      walk.record(&steps);
      walk.go(P, pricer.route(y));
      walk.record(nullptr);
      const double exact = walk.cost().mut();
      walk.undo(steps);
      exactmoves += walk.moves - m0;
      exactcpu += e.cpus();
      if (exact == best) {
        found[i]++;
        break;
      }
    }
  }
  std::printf("sample of %ld subtrees, %ld places (%ld moves)\n", sampled, places, moves);
  std::printf("  walk:    %8.3f s CPU %8.3f s wall\n", walkcpu, walkwall);
  std::printf("  pricing: %8.3f s CPU %8.3f s wall  (%.0fx less CPU)\n", pricecpu, pricewall,
              walkcpu / pricecpu);
  std::printf("  the cheapest price is the walk's least cost for %ld of %ld subtrees\n", agree,
              sampled);
  std::printf("  the walk's least cost is the exact cost of one of the best K places by price:");
  long within = 0;
  for (size_t k = 0; k < topmost; k++) {
    within += found[k];
    if (k == 0 || k == 1 || k == 3 || k == 7) std::printf("  K=%zu: %ld", k + 1, within);
  }
  std::printf("\n  costing the best %zu exactly (until the least is met): %ld moves, %.3f s CPU\n",
              topmost, exactmoves, exactcpu);

  Clock all;
  long n = 0;
  const long visited = pricer.visited;
  for (short P = 0; P < W.total; P++)
    if (P != W.root) pricer.price(P, walk.cost()), n++;
  std::printf("every subtree priced (%ld): %.3f s CPU %.3f s wall, %.1f mixed gene nodes a pass\n",
              n, all.cpus(), all.walls(), double(pricer.visited - visited) / n);
  std::printf("  estimated walk of every subtree: %.1f s CPU\n", walkcpu * n / sampled);

  if (seed == 0) return 0;
  std::vector<short> species(specnames.size());
  for (size_t i = 0; i < species.size(); i++) species[i] = static_cast<short>(i);
  for (bool priced : {true, false}) {
    srand(seed);
    Clock c;
    std::unique_ptr<RootedTree> T(greedyspeciestree(genes, species, priced));
    const double cpu = c.cpus(), wall = c.walls();
    const double cost = T->initGTS(genes, 1).mut();
    std::printf("stepwise start, %s: %.2f s CPU %.2f s wall, cost %.0f\n",
                priced ? "priced " : "walked ", cpu, wall, cost);
  }
  return 0;
}
