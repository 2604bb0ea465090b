// Moves per second of the incremental NNI against one full re-preparation of the same tree.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/dlcost.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// About 100 species and 1000 gene families; each family lives in one random clade of the
// species tree, with repeated species, as families grown by duplication and loss do.
struct Collection {
  std::unique_ptr<RootedTree> S;
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> genes;

  Collection() {
    std::mt19937 rng(2024);
    auto names = speciesnames(100, "bn");
    std::string text = randomrootedtext(rng, names);
    S = std::make_unique<RootedTree>(text.data());
    for (int i = 0; i < 1000; i++) {
      short s = static_cast<short>(S->leaves + rng() % (S->total - S->leaves));
      std::vector<std::string> clade;
      collect(s, clade);
      std::string g = randomgenetext(rng, clade, 4 + rng() % 60);
      owned.push_back(std::make_unique<UnrootedTree>(g.data()));
      genes.push_back(owned.back().get());
    }
  }

  void collect(short v, std::vector<std::string>& names) {
    if (v < S->leaves) {
      std::ostringstream out;
      S->printsubtree(out, v);
      names.push_back(out.str());
      return;
    }
    collect(S->son[v - S->leaves], names);
    collect(S->son[v], names);
  }
};

Collection& collection() {
  static Collection c;
  return c;
}

void BM_NniMove(benchmark::State& state) {
  Collection& c = collection();
  RootedTree& S = *c.S;
  DlCost total = S.initGTS(c.genes, 0);
  std::mt19937 rng(7);
  DlCost delta(0, 0);
  int info = 0;
  std::string text;
  long moves = 0;
  for (auto _ : state) {
    short a = static_cast<short>(S.leaves + rng() % (S.total - S.leaves));
    if (S.nni(a, rng() % 2, c.genes, delta, info, text)) {
      total = total + delta;
      moves++;
    }
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(moves);
}
BENCHMARK(BM_NniMove);

void BM_Reprepare(benchmark::State& state) {
  Collection& c = collection();
  for (auto _ : state) benchmark::DoNotOptimize(c.S->initGTS(c.genes, 0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reprepare)->Unit(benchmark::kMillisecond);

}  // namespace
