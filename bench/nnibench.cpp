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

// 100 species and 1000 gene trees, each living in one random clade of the species tree.
// Kind 0: random topologies over the clade's species, drawn with repeats: far from the
// species tree, so many gene nodes map high. Kind 1: grown down the clade by duplication
// (probability 0.15 per node) and loss (0.1), so they disagree only where genes duplicated.
struct Collection {
  std::unique_ptr<RootedTree> S;
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> genes;
  std::mt19937 rng{2024};

  explicit Collection(int kind) {
    std::string text = randomrootedtext(rng, speciesnames(100, "bn"));
    S = std::make_unique<RootedTree>(text.data());
    while (genes.size() < 1000) {
      short s = static_cast<short>(S->leaves + rng() % (S->total - S->leaves));
      std::string g;
      if (kind == 0) {
        std::vector<std::string> clade;
        collect(s, clade);
        g = randomgenetext(rng, clade, 4 + rng() % 60);
      } else {
        g = grow(s, 0);
        if (leafcount(g) < 3 || leafcount(g) > 300) continue;
      }
      owned.push_back(std::make_unique<UnrootedTree>(g.data()));
      genes.push_back(owned.back().get());
    }
  }

  std::string name(short v) {
    std::ostringstream out;
    S->printsubtree(out, v);
    return out.str();
  }

  void collect(short v, std::vector<std::string>& names) {
    if (v < S->leaves) {
      names.push_back(name(v));
      return;
    }
    collect(S->son[v - S->leaves], names);
    collect(S->son[v], names);
  }

  // A gene lineage entering species node v; empty when it is lost on the way.
  std::string grow(short v, int depth) {
    int draw = rng() % 100;
    if (draw < 15 && depth < 12) return join(grow(v, depth + 1), grow(v, depth + 1));
    if (draw < 25 && depth > 0) return "";
    if (v < S->leaves) return name(v);
    return join(grow(S->son[v - S->leaves], depth + 1), grow(S->son[v], depth + 1));
  }

  static std::string join(const std::string& l, const std::string& r) {
    if (l.empty()) return r;
    if (r.empty()) return l;
    return "(" + l + "," + r + ")";
  }

  static int leafcount(const std::string& g) {
    int n = 0;
    for (size_t i = 0; i < g.size(); i++) n += g[i] == ',';
    return g.empty() ? 0 : n + 1;
  }
};

Collection& collection(int kind) {
  static Collection random(0), grown(1);
  return kind == 0 ? random : grown;
}

void BM_NniMove(benchmark::State& state) {
  Collection& c = collection(static_cast<int>(state.range(0)));
  RootedTree& S = *c.S;
  DlTotal total = S.initGTS(c.genes, 0);
  std::mt19937 rng(7);
  DlTotal delta;
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
BENCHMARK(BM_NniMove)->Arg(0)->Arg(1);

void BM_Reprepare(benchmark::State& state) {
  Collection& c = collection(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(c.S->initGTS(c.genes, 0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Reprepare)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
