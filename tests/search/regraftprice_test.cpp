#include "search/regraftprice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "search/sprwalk.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

std::string subtreetext(RootedTree& S, short v) {
  if (v < S.leaves) return specnames[S.lab[v]];
  return "(" + subtreetext(S, S.son[v - S.leaves]) + "," + subtreetext(S, S.son[v]) + ")";
}

// The tree with P pruned and regrafted on the edge above x, written from scratch.
std::string regrafted(RootedTree& S, short v, short P, short x) {
  const short p = S.parent[P];
  if (v == p) v = S.son[p - S.leaves] == P ? S.son[p] : S.son[p - S.leaves];
  std::string core = v < S.leaves ? specnames[S.lab[v]]
                                  : "(" + regrafted(S, S.son[v - S.leaves], P, x) + "," +
                                        regrafted(S, S.son[v], P, x) + ")";
  return v == x ? "(" + core + "," + subtreetext(S, P) + ")" : core;
}

// A tree's cost counted by its weight, as the totals count it.
DlTotal weighted(DlCost c, const UnrootedTree* G) {
  return DlTotal(c, std::llround(geneweight(G) * static_cast<double>(weightunit())));
}

// Each gene tree reconciled from scratch with the species tree text at the given rooting.
DlTotal rootedtotal(const std::string& stext, const Genes& genes, const std::vector<short>& at) {
  auto F = species(stext);
  F->setdepth(-1, 0);
  DlTotal sum(0, 0);
  for (size_t g = 0; g < genes.texts.size(); g++) {
    std::string copy = genes.texts[g];
    UnrootedTree G(copy.data());
    G.clean(0);
    G.setlcamappings(*F);
    sum = sum + weighted(G.dlcost(*F, at[g]), genes.v[g]);
  }
  return sum;
}

// Some trees of the collection weigh 0 to 3 in quarters, in every other instance.
void maybeweigh(std::mt19937& rng, int inst, Genes& genes, Genes* copies) {
  if (inst % 2 == 0) return;
  for (size_t g = 0; g < genes.v.size(); g++) {
    const double w = static_cast<double>(rng() % 13) / 4;
    setgeneweight(genes.v[g], w);
    if (copies) setgeneweight(copies->v[g], w);
  }
}

std::vector<short> canonical(RootedTree& S) {
  std::vector<short> buf(S.reprlen());
  S.repr(buf.data());
  return buf;
}

DlTotal freshtotal(const std::string& stext, const Genes& genes) {
  DlTotal sum(0, 0);
  std::vector<DlCost> costs = freshcosts(stext, genes);
  for (size_t g = 0; g < costs.size(); g++) sum = sum + weighted(costs[g], genes.v[g]);
  return sum;
}

struct Weights : testing::Test {
  void TearDown() override { weight_dup = weight_loss = 1.0; }
};

}  // namespace

// Every place of every pruned subtree (leaves, clades, children of the root) on random species
// trees and collections (multi-copy families, families of one species or of a few): the price
// is the cost of a fresh reconciliation of the regrafted tree with each gene tree at the rooting
// it has now; at P's own place it is the tree's cost; the route reaches the same tree, whose
// exact cost is no more than the price. Under -D/-L weights and gene-tree weights too.
TEST_F(Weights, EveryRegraftCostsWhatAFreshReconciliationAtTheSameRootingsGives) {
  std::mt19937 rng(21);
  for (int inst = 0; inst < 60 && !HasFailure(); inst++) {
    weight_dup = inst % 3 == 1 ? 2.5 : 1.0;
    weight_loss = inst % 3 == 2 ? 0.5 : 1.0;
    auto names = speciesnames(2 + rng() % 8, "r");
    Genes genes = randomgenes(rng, names, 1 + rng() % 7, 16);
    Genes copies;
    for (const std::string& t : genes.texts) copies.add(t);
    maybeweigh(rng, inst, genes, &copies);
    const std::string stext = randomrootedtext(rng, names);
    auto W = species(stext);
    const DlTotal total = W->initGTS(genes.v, 1);
    std::vector<short> at;
    for (UnrootedTree* G : genes.v) at.push_back(G->findoptimal(*W));
    RegraftPricer pricer(*W, genes.v);
    for (short P = 0; P < W->total && !HasFailure(); P++) {
      if (P == W->root) continue;
      pricer.price(P, total);
      const std::vector<short>& places = pricer.places();
      const int rest = W->leaves - W->clustersize(P);
      ASSERT_EQ(places.size(), static_cast<size_t>(2 * rest - 1));
      EXPECT_TRUE(same(pricer.cost(pricer.home()), total));
      for (short x : places) {
        const std::string text = regrafted(*W, places[0], P, x);
        SCOPED_TRACE(stext + " P=" + std::to_string(P) + " -> " + text);
        EXPECT_TRUE(same(pricer.cost(x), rootedtotal(text, genes, at)))
            << pricer.cost(x) << " " << rootedtotal(text, genes, at);
        auto V = species(stext);
        SprWalk walk(*V, copies.v);
        walk.start(V->initGTS(copies.v, 1));
        walk.go(P, pricer.route(x));
        EXPECT_EQ(canonical(*V), canonical(*species(text)));
        EXPECT_LE(walk.cost().mut(), pricer.cost(x).mut());
      }
      const short best = pricer.cheapest();
      ASSERT_EQ(best < 0, rest == 1);
      for (short x : places) {
        if (x == pricer.home()) continue;
        EXPECT_LE(pricer.cost(best).mut(), pricer.cost(x).mut());
      }
      // Every other place once, cheapest first, the cheapest one first among equals.
      const std::vector<short> ranked = pricer.ranked(places.size());
      ASSERT_EQ(ranked.size(), places.size() - 1);
      if (!ranked.empty()) {
        EXPECT_EQ(ranked[0], best);
      }
      for (size_t i = 1; i < ranked.size(); i++)
        EXPECT_LE(pricer.cost(ranked[i - 1]).mut(), pricer.cost(ranked[i]).mut());
      std::vector<short> others(ranked);
      std::sort(others.begin(), others.end());
      EXPECT_TRUE(std::adjacent_find(others.begin(), others.end()) == others.end());
      EXPECT_TRUE(std::find(others.begin(), others.end(), pricer.home()) == others.end());
      EXPECT_EQ(pricer.ranked(2).size(), std::min<size_t>(2, ranked.size()));
    }
  }
}

// The pricer follows the tree it prices: through chains of SPR moves made incrementally and
// through re-preparations of other trees over the same species (other leaf ids), the price of
// P's own place is the exact cost, and the cheapest place, once reached, costs no more than
// its price.
TEST(RegraftPricer, FollowsMovesAndPreparations) {
  std::mt19937 rng(3);
  for (int inst = 0; inst < 150 && !HasFailure(); inst++) {
    auto names = speciesnames(3 + rng() % 7, "f");
    Genes genes = randomgenes(rng, names, 1 + rng() % 7, 16);
    maybeweigh(rng, inst, genes, nullptr);
    auto W = species(randomrootedtext(rng, names));
    SprWalk walk(*W, genes.v);
    walk.start(W->initGTS(genes.v, 1));
    RegraftPricer pricer(*W, genes.v);
    for (int m = 0; m < 8; m++) {
      if (m == 4) {
        auto other = species(randomrootedtext(rng, names));
        std::vector<short> enc(other->reprlen());
        other->repr(enc.data());
        TreeRepr r(enc.data(), static_cast<int>(enc.size()), 0);
        W->replace(&r);
        walk.start(W->initGTS(genes.v, 0));
      }
      short P;
      do P = static_cast<short>(rng() % W->total);
      while (P == W->root);
      pricer.price(P, walk.cost());
      SCOPED_TRACE(treetext(*W) + " P=" + std::to_string(P));
      ASSERT_TRUE(same(pricer.cost(pricer.home()), walk.cost()));
      const short x = pricer.cheapest();
      if (x < 0) continue;
      const DlTotal price = pricer.cost(x);
      walk.go(P, pricer.route(x));
      ASSERT_LE(walk.cost().mut(), price.mut());
      ASSERT_TRUE(same(walk.cost(), freshtotal(treetext(*W), genes)));
    }
  }
}
