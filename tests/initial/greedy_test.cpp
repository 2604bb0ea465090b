#include "initial/greedy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/search/searchcheck.h"
#include "trees/species.h"
#include "trees/treeweights.h"

using namespace searchcheck;

namespace {

// W with species t on the edge above x, written from scratch.
std::string withnew(const GrowingTree& W, short v, short t, short x) {
  std::string core = W.left[v] < 0 ? specnames[W.species[v]]
                                   : "(" + withnew(W, W.left[v], t, x) + "," +
                                         withnew(W, W.right[v], t, x) + ")";
  return v == x ? "(" + core + "," + specnames[t] + ")" : core;
}

// The side v of G with the leaves of species outside `in` taken out; empty when none is left.
std::string pruned(const UnrootedTree& G, short v, const std::vector<char>& in) {
  if (v < G.leaves) return in[G.lab[v]] ? specnames[G.lab[v]] : "";
  const int j = (v - G.leaves) % 3;
  const std::string a = pruned(G, G.parent[v + offset[2 * j]], in);
  const std::string b = pruned(G, G.parent[v + offset[2 * j + 1]], in);
  if (a.empty()) return b;
  if (b.empty()) return a;
  return "(" + a + "," + b + ")";
}

DlTotal weighted(DlCost c, const UnrootedTree* G) {
  return DlTotal(c, std::llround(geneweight(G) * static_cast<double>(weightunit())));
}

struct Reference {
  DlTotal priced, exact;
};

// From scratch: each gene tree restricted to W's species and t, reconciled with W plus t above
// x, at the rooting the state keeps (the price; trees with a kept rooting) and at its optimal
// one (the exact cost; trees of three leaves or more).
Reference reference(const StepwiseAddition& add, const Genes& genes, short t, short x) {
  const GrowingTree& W = add.tree();
  std::vector<char> in(specnames.size(), 0);
  for (short s : W.species)
    if (s >= 0) in[s] = 1;
  in[t] = 1;
  auto F = species(withnew(W, W.root, t, x));
  F->setdepth(-1, 0);
  Reference ref;
  for (size_t g = 0; g < genes.v.size(); g++) {
    const UnrootedTree& G = *genes.v[g];
    int count = 0;
    for (int v = 0; v < G.leaves; v++) count += in[G.lab[v]];
    if (count < 3) continue;
    // Any edge with leaves on both sides roots the restricted tree for the exact cost.
    short r = add.family(g).rooting;
    const bool kept = r >= 0;
    for (short v = 0; r < 0 && v < G.total; v++)
      if (!pruned(G, v, in).empty() && !pruned(G, G.parent[v], in).empty()) r = v;
    std::string text = "(" + pruned(G, r, in) + "," + pruned(G, G.parent[r], in) + ")";
    UnrootedTree R(text.data());
    R.clean(0);
    R.setlcamappings(*F);
    if (kept) ref.priced = ref.priced + weighted(R.dlcost(*F, R.inroot), &G);
    ref.exact = ref.exact + weighted(R.dlcost(*F, R.findoptimal(*F)), &G);
  }
  return ref;
}

struct StepwiseWeights : testing::Test {
  void TearDown() override { weight_dup = weight_loss = 1.0; }
};

}  // namespace

// Stepwise additions in random orders over random collections (multi-copy families, families
// of one or a few species, families without the new species, gene-tree weights, -D/-L
// weights), each species put at a random place or at the one chosen: at every step the price
// of every place is the cost of a fresh reconciliation of the restricted gene trees at the
// rootings kept, and the exact cost is the least over their rootings. With every place a
// candidate, the chosen place is one of least exact cost.
TEST_F(StepwiseWeights, EveryInsertionCostsWhatAFreshReconciliationGives) {
  std::mt19937 rng(8);
  for (int inst = 0; inst < 80 && !HasFailure(); inst++) {
    weight_dup = inst % 3 == 1 ? 2.5 : 1.0;
    weight_loss = inst % 3 == 2 ? 0.5 : 1.0;
    auto names = speciesnames(3 + rng() % 8, "q");
    Genes genes = randomgenes(rng, names, 1 + rng() % 8, 18);
    if (inst % 2 == 1)
      for (UnrootedTree* G : genes.v) setgeneweight(G, static_cast<double>(rng() % 13) / 4);
    std::vector<short> order;
    for (const std::string& s : names) order.push_back(static_cast<short>(registerspecies(s)));
    std::shuffle(order.begin(), order.end(), rng);
    StepwiseAddition add(genes.v, order[0], order[1]);
    for (size_t k = 2; k < order.size() && !HasFailure(); k++) {
      const short t = order[k];
      add.price(t);
      double least = 0;
      for (short x : add.places()) {
        SCOPED_TRACE("instance " + std::to_string(inst) + " " +
                     withnew(add.tree(), add.tree().root, t, x));
        const Reference ref = reference(add, genes, t, x);
        EXPECT_TRUE(same(add.priced(x), ref.priced)) << add.priced(x) << " " << ref.priced;
        EXPECT_TRUE(same(add.exact(x), ref.exact)) << add.exact(x) << " " << ref.exact;
        if (x == add.places()[0] || ref.exact.mut() < least) least = ref.exact.mut();
      }
      short x;
      if (rng() % 2) {
        x = add.choose(t, add.places().size());
        EXPECT_EQ(reference(add, genes, t, x).exact.mut(), least);
      } else {
        x = add.places()[rng() % add.places().size()];
      }
      add.insert(x);
    }
  }
}
