#include "search/nnisupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "trees/treeweights.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

// The tree of text with the branch above internal node c resolved as alternative k (0 or 1):
// ((x,y),z) becomes ((z,x),y) or ((y,z),x), made by hand on a fresh tree.
std::string alternative(const std::string& text, short c, int k) {
  auto T = species(text);
  RootedTree& S = *T;
  const short a = S.parent[c];
  const int zslot = S.son[a] == c ? a - S.leaves : a;
  const short x = S.son[c - S.leaves], y = S.son[c], z = S.son[zslot];
  const short first = k == 0 ? z : y, second = k == 0 ? x : z, out = k == 0 ? y : x;
  S.son[c - S.leaves] = first;
  S.son[c] = second;
  S.son[zslot] = out;
  S.parent[first] = S.parent[second] = c;
  S.parent[out] = a;
  return treetext(S);
}

// The resampling support from per-gene costs of the three resolutions, drawn as nnisupports
// documents, summing whole resolutions' costs.
double slowsupport(const std::vector<DlCost> (&cost)[3], const std::vector<long long>& units,
                   long replicates, unsigned long seed) {
  const long n = static_cast<long>(units.size());
  std::mt19937_64 rng(seed);
  double wins = 0;
  for (long r = 0; r < replicates; r++) {
    DlTotal sum[3];
    for (long i = 0; i < n; i++) {
      const size_t g = rng() % n;
      for (int k = 0; k < 3; k++) sum[k] = sum[k] + DlTotal(cost[k][g], units[g]);
    }
    double least = std::min({sum[0].mut(), sum[1].mut(), sum[2].mut()});
    int ties = 0;
    for (int k = 0; k < 3; k++) ties += sum[k].mut() == least;
    if (sum[0].mut() == least) wins += 1.0 / ties;
  }
  return 100.0 * wins / static_cast<double>(replicates);
}

}  // namespace

// On random collections (some weighted), every branch's cost changes, its cheaper / equal /
// dearer counts and its resampling support equal those computed from fresh cost reports of
// the three resolutions; the tree is left as it was. Edge cases: no resampling, one gene tree,
// weights whose sums need 32 bits.
TEST(NniSupport, EqualsTheSlowComputationFromFreshCosts) {
  std::mt19937 rng(31);
  int checked = 0, between = 0;
  for (int inst = 0; inst < 30 && !HasFailure(); inst++) {
    auto names = speciesnames(4 + inst % 6, "v" + std::to_string(inst) + "_");
    Genes genes = randomgenes(rng, names, inst % 10 == 3 ? 1 : 2 + rng() % 12, 12);
    if (inst % 3 == 2)
      for (UnrootedTree* G : genes.v) setgeneweight(G, rng() % 2 ? 0.5 : 1.0 + rng() % 3);
    // Whole weights large enough that some sums leave 16 bits, or fill them after a few trees.
    if (inst % 6 == 1)
      for (UnrootedTree* G : genes.v) {
        const unsigned k = rng() % 3;
        setgeneweight(G, k == 0 ? 1.0 : k == 1 ? 2000.0 + rng() % 6000 : 20000.0 + rng() % 20000);
      }
    const std::string text = randomrootedtext(rng, names);
    auto S = species(text);
    const long B = inst % 10 == 7 ? 0 : 50 + rng() % 100;
    const unsigned long seed = rng();
    SupportTable t = nnisupports(*S, genes.v, B, seed);
    EXPECT_EQ(treetext(*S), text);

    std::vector<long long> units;
    for (UnrootedTree* G : genes.v) units.push_back(geneunits(G));
    std::vector<DlCost> cost[3];
    cost[0] = freshcosts(text, genes);
    for (short c = static_cast<short>(S->leaves); c < S->total; c++) {
      const BranchSupport& b = t.at[c];
      if (c == S->root) {
        EXPECT_EQ(b.node, -1);
        continue;
      }
      ASSERT_EQ(b.node, c);
      for (int k = 0; k < 2; k++) {
        cost[k + 1] = freshcosts(alternative(text, c, k), genes);
        DlTotal change;
        long lower = 0, equal = 0, higher = 0;
        for (size_t g = 0; g < units.size(); g++) {
          DlCost d(cost[k + 1][g].dup - cost[0][g].dup, cost[k + 1][g].loss - cost[0][g].loss);
          change = change + DlTotal(d, units[g]);
          double m = cost[k + 1][g].mut() - cost[0][g].mut();
          (m < 0 ? lower : m > 0 ? higher : equal)++;
        }
        EXPECT_TRUE(same(b.change[k], change)) << text << " node " << c << " alternative " << k;
        EXPECT_EQ(b.lower[k], lower);
        EXPECT_EQ(b.equal[k], equal);
        EXPECT_EQ(b.higher[k], higher);
      }
      checked++;
      between += b.support > 0 && b.support < 100;
      if (B == 0)
        EXPECT_LT(b.support, 0);
      else
        EXPECT_DOUBLE_EQ(b.support, slowsupport(cost, units, B, seed)) << text << " node " << c;
    }
  }
  EXPECT_GT(checked, 80);
  EXPECT_GT(between, 10);
}
