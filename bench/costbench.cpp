// Build time of the LCA table and throughput of the cost report and the rooting report.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include "reconcile/dlcost.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::string balanced(const std::vector<std::string>& names, size_t lo, size_t hi) {
  if (hi - lo == 1) return names[lo];
  size_t mid = (lo + hi) / 2;
  return "(" + balanced(names, lo, mid) + "," + balanced(names, mid, hi) + ")";
}

std::string speciestext(int leaves, bool caterpillar) {
  std::vector<std::string> names = speciesnames(leaves, "lb");
  if (!caterpillar) return balanced(names, 0, names.size());
  std::string t = names[0];
  for (int i = 1; i < leaves; i++) t = "(" + t + "," + names[i] + ")";
  return t;
}

// First build: the table is allocated (and its pages touched) as well as filled.
void lcafirstbuild(benchmark::State& state) {
  std::string text = speciestext(static_cast<int>(state.range(0)), state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    auto S = std::make_unique<RootedTree>(std::string(text).data());
    state.ResumeTiming();
    S->initlca();
    benchmark::DoNotOptimize(S->lcatab[S->total - 1][0]);
    state.PauseTiming();
    S.reset();
    state.ResumeTiming();
  }
  state.counters["entries"] = static_cast<double>(2L * state.range(0) - 1) * (state.range(0) - 1);
}
BENCHMARK(lcafirstbuild)
    ->ArgsProduct({{1000, 5000, 15000}, {0, 1}})
    ->ArgNames({"leaves", "caterpillar"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Refill after a change of shape, as the search does: the rows exist already.
void lcarefill(benchmark::State& state) {
  std::string text = speciestext(static_cast<int>(state.range(0)), state.range(1));
  RootedTree S(text.data());
  S.initlca();
  for (auto _ : state) {
    S.initlca();
    benchmark::DoNotOptimize(S.lcatab[S.total - 1][0]);
  }
}
BENCHMARK(lcarefill)
    ->ArgsProduct({{1000, 5000, 15000}, {0, 1}})
    ->ArgNames({"leaves", "caterpillar"})
    ->Unit(benchmark::kMillisecond);

// About 100 species and 10000 multi-copy gene families of 10 to 200 leaves, each drawn
// from the species of one random clade.
struct Collection {
  std::unique_ptr<RootedTree> S;
  std::vector<std::unique_ptr<UnrootedTree>> genes;
  long directed = 0;

  Collection() {
    std::mt19937 rng(2025);
    std::string text = randomrootedtext(rng, speciesnames(100, "cb"));
    S = std::make_unique<RootedTree>(text.data());
    S->setdepth(-1, 0);
    for (int i = 0; i < 10000; i++) {
      short s = static_cast<short>(S->leaves + rng() % (S->total - S->leaves));
      std::vector<std::string> clade;
      collect(s, clade);
      std::string g = randomgenetext(rng, clade, 10 + rng() % 191);
      genes.push_back(std::make_unique<UnrootedTree>(g.data()));
      directed += genes.back()->total;
    }
  }

  void collect(short v, std::vector<std::string>& names) {
    std::vector<short> stack{v};
    while (!stack.empty()) {
      short x = stack.back();
      stack.pop_back();
      if (x < S->leaves) {
        names.push_back(specnames[S->lab[x]]);
        continue;
      }
      stack.push_back(S->son[x - S->leaves]);
      stack.push_back(S->son[x]);
    }
  }
};

Collection& collection() {
  static Collection c;
  return c;
}

// What -b -c -C does per gene tree: map, find the optimal rooting, cost it.
void costreport(benchmark::State& state) {
  Collection& c = collection();
  RootedTree& S = *c.S;
  for (auto _ : state) {
    DlCost total(0, 0);
    for (auto& G : c.genes) {
      G->clean(0);
      G->setlcamappings(S);
      total = total + G->dlcost(S, G->findoptimal(S));
    }
    benchmark::DoNotOptimize(total);
  }
  state.counters["directed/s"] =
      benchmark::Counter(static_cast<double>(c.directed), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(costreport)->Unit(benchmark::kMillisecond);

struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// What -b -X does: every rooting scored and the annotated tree printed (to nowhere).
void rootingreport(benchmark::State& state) {
  Collection& c = collection();
  RootedTree& S = *c.S;
  NullBuffer buffer;
  std::ostream out(&buffer);
  const int code = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (auto& G : c.genes) {
      G->clean(0);
      G->setlcamappings(S);
      G->pf(out, S, code, 0);
    }
  }
  state.counters["directed/s"] =
      benchmark::Counter(static_cast<double>(c.directed), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(rootingreport)->ArgName("code")->Arg(0)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace
