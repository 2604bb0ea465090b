// Stepwise-addition starts, priced (the default) beside walked (every place one incremental
// move), from the same species orders, in one run.
// Usage: stepwisebench GENES THREADS [walked] SEED...
//   GENES: one gene tree a line (species names as leaf labels); walked: also build each start
//   with the walk. Prints CPU seconds (all threads, std::clock), wall seconds and the cost
//   of each start.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchclock.h"
#include "initial/greedy.h"
#include "parallel/pool.h"
#include "trees/randomdraws.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: stepwisebench GENES THREADS [walked] SEED...\n";
    return 2;
  }
  setthreads(std::atoi(argv[2]));
  int first = 3;
  const bool walked = std::strcmp(argv[3], "walked") == 0;
  if (walked) first++;
  std::ifstream in(argv[1]);
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> genes;
  for (std::string l; std::getline(in, l);) {
    if (l.empty()) continue;
    owned.push_back(std::make_unique<UnrootedTree>(l.data()));
    genes.push_back(owned.back().get());
  }
  std::vector<short> species(specnames.size());
  for (size_t i = 0; i < species.size(); i++) species[i] = static_cast<short>(i);
  for (int a = first; a < argc; a++) {
    const int seed = std::atoi(argv[a]);
    for (bool priced : {true, false}) {
      if (!priced && !walked) continue;
      seedrandom(seed);
      Clock c;
      std::unique_ptr<RootedTree> T(greedyspeciestree(genes, species, priced));
      const double cpu = c.cpus(), wall = c.walls();
      const double cost = T->initGTS(genes, 1).mut();
      std::printf("seed %d %s: %7.2f s CPU %7.2f s wall, cost %.0f\n", seed,
                  priced ? "priced" : "walked", cpu, wall, cost);
      std::fflush(stdout);
    }
  }
  return 0;
}
