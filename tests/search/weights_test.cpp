#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/costreport.h"
#include "driver/options.h"
#include "initial/greedy.h"
#include "output/eventfiles.h"
#include "output/reconciliation.h"
#include "parallel/geneshare.h"
#include "parallel/pool.h"
#include "reconcile/costformat.h"
#include "search/sprsearch.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "tests/search/scratchdir.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

struct OneThreadAfter {
  ~OneThreadAfter() { setthreads(1); }
};

// Whole weights, or fractional ones mixed in (then the total counts in 2^-20 units).
std::vector<double> randomweights(std::mt19937& rng, size_t n, bool fractional) {
  const double fractions[] = {0.5, 1.0 / 3, 0.1, 2.75, 1.0, 7.0 / 11};
  std::vector<double> w(n);
  for (double& x : w)
    x = fractional && rng() % 2 ? fractions[rng() % 6] : static_cast<double>(rng() % 5);
  return w;
}

void setweights(Genes& genes, const std::vector<double>& w) {
  for (size_t g = 0; g < w.size(); g++) setgeneweight(genes.v[g], w[g]);
}

// The slow reference: each tree's fresh cost times its weight, quantised as the totals are;
// and the same sum in doubles, which the total must be close to.
DlTotal slowtotal(const std::string& stext, const Genes& genes, const std::vector<double>& w,
                  double& plain) {
  std::vector<DlCost> costs = freshcosts(stext, genes);
  DlTotal sum;
  plain = 0;
  for (size_t g = 0; g < costs.size(); g++) {
    sum = sum + DlTotal(costs[g], std::llround(w[g] * static_cast<double>(weightunit())));
    plain += w[g] * costs[g].mut();
  }
  return sum;
}

std::string text(double cost) {
  std::ostringstream out;
  out << costtext(cost);
  return out.str();
}

// What -b -c -C prints for S.
std::string reportline(RootedTree& S, Genes& genes) {
  Options opt;
  opt.totalcost = opt.totalpair = true;
  std::vector<RootedTree*> stree{&S};
  testing::internal::CaptureStdout();
  costreport(opt, stree, genes.v);
  return testing::internal::GetCapturedStdout();
}

std::vector<std::string> searchsaved(const std::string& start, Genes& genes, std::string* out) {
  ScratchDir scratch;
  auto S = species(start);
  std::vector<RootedTree*> starts{S.get()};
  SprOptions o;
  o.keep = 6;
  testing::internal::CaptureStdout();
  sprsearch(starts, genes.v, o);
  std::string printed = testing::internal::GetCapturedStdout();
  // Without the last line: the saved file's name holds the time.
  if (out) *out = printed.substr(0, printed.rfind('\n', printed.size() - 2));
  std::vector<std::string> files = scratch.files(".kv.txt");
  EXPECT_EQ(files.size(), 1u);
  return files.empty() ? std::vector<std::string>{} : ScratchDir::lines(files[0]);
}

}  // namespace

// On random collections with random weights, whole and fractional: the cost report's total
// and pair, the prepared total after random moves, and every tree a search saves equal the
// slow weighted sum of fresh per-tree costs.
TEST(GeneWeights, EveryTotalIsTheWeightedSumOfFreshCosts) {
  std::mt19937 rng(21);
  for (int inst = 0; inst < 24 && !HasFailure(); inst++) {
    auto names = speciesnames(4 + inst % 5, "w" + std::to_string(inst) + "_");
    Genes genes = randomgenes(rng, names, 3 + rng() % 8, 12);
    const std::vector<double> w = randomweights(rng, genes.v.size(), inst % 2 == 1);
    setweights(genes, w);
    const std::string stext = randomrootedtext(rng, names);
    auto S = species(stext);

    double plain = 0;
    DlTotal slow = slowtotal(stext, genes, w, plain);
    EXPECT_NEAR(slow.mut(), plain, 1e-4 * (1 + plain));
    std::ostringstream want;
    want << stext << "\t" << costtext(slow.mut()) << "\t" << slow << "\t\n";
    EXPECT_EQ(reportline(*S, genes), want.str());

    DlTotal total = S->initGTS(genes.v, 1);
    for (int m = 0; m < 12; m++) {
      DlTotal delta;
      int info = 0;
      std::string t;
      if (S->nni(static_cast<short>(S->leaves + rng() % S->internal), rng() % 2, genes.v, delta,
                 info, t))
        total = total + delta;
    }
    checkall(*S, genes, total, "weighted, after moves");
    EXPECT_TRUE(same(total, slowtotal(treetext(*S), genes, w, plain)));

    for (const std::string& l : searchsaved(stext, genes, nullptr)) {
      size_t blank = l.find(' ');
      ASSERT_NE(blank, std::string::npos);
      EXPECT_EQ(l.substr(0, blank), text(slowtotal(l.substr(blank + 1), genes, w, plain).mut()))
          << l;
    }
  }
}

// A tree of whole weight k counts as k copies of it: the same prepared total, the same change
// at every move, the same events.
TEST(GeneWeights, AWholeWeightIsThatManyCopies) {
  std::mt19937 rng(22);
  for (int inst = 0; inst < 20 && !HasFailure(); inst++) {
    auto names = speciesnames(4 + inst % 6, "k" + std::to_string(inst) + "_");
    Genes weighted = randomgenes(rng, names, 2 + rng() % 6, 12), copies;
    for (size_t g = 0; g < weighted.v.size(); g++) {
      int k = rng() % 4;
      setgeneweight(weighted.v[g], k);
      for (int i = 0; i < k; i++) copies.add(weighted.texts[g]);
    }
    const std::string stext = randomrootedtext(rng, names);
    auto A = species(stext), B = species(stext);
    DlTotal a = A->initGTS(weighted.v, 1), b = B->initGTS(copies.v, 1);
    EXPECT_TRUE(same(a, b)) << a << " " << b;
    for (int m = 0; m < 15; m++) {
      const short v = static_cast<short>(A->leaves + rng() % A->internal);
      const int variant = rng() % 2;
      DlTotal da, db;
      int info = 0;
      std::string t;
      ASSERT_EQ(A->nni(v, variant, weighted.v, da, info, t), B->nni(v, variant, copies.v, db, info, t));
      EXPECT_TRUE(same(da, db)) << "move " << m;
    }
    // Events are counted on a tree made afresh: the moved one's LCA table is stale.
    auto E = species(treetext(*A));
    EXPECT_EQ(eventstsv(*E, countevents(*E, weighted.v)), eventstsv(*E, countevents(*E, copies.v)));
  }
}

// With fractional weights, the cost report, a search from a stepwise-addition start (whose
// restricted copies carry the weights) and its saved trees are the same bytes on 1, 2 and 3
// threads, and the shared-out prepared total is that of one thread.
TEST(GeneWeights, ThreadsGiveTheSameBytes) {
  OneThreadAfter restore;
  std::mt19937 rng(23);
  auto names = speciesnames(12, "t_");
  Genes genes = randomgenes(rng, names, 400, 40);
  setweights(genes, randomweights(rng, genes.v.size(), true));
  const std::string stext = randomrootedtext(rng, names);
  std::vector<short> ids;
  for (const std::string& s : names) ids.push_back(specnames2id[s]);
  std::string report[3], printed[3];
  std::vector<std::string> saved[3];
  DlTotal prepared[3];
  for (int t = 0; t < 3; t++) {
    setthreads(t + 1);
    auto S = species(stext);
    report[t] = reportline(*S, genes);
    prepared[t] = S->initGTS(genes.v, 1);
    if (t > 0) {
      EXPECT_EQ(geneshare(genes.v).parts(), t + 1) << "the collection is shared out";
    }
    srand(7);
    std::unique_ptr<RootedTree> G(greedyspeciestree(genes.v, ids));
    saved[t] = searchsaved(treetext(*G), genes, &printed[t]);
  }
  for (int t = 1; t < 3; t++) {
    EXPECT_EQ(report[t], report[0]);
    EXPECT_TRUE(same(prepared[t], prepared[0]));
    EXPECT_EQ(printed[t], printed[0]);
    EXPECT_EQ(saved[t], saved[0]);
  }
}
