#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "parallel/geneshare.h"
#include "parallel/pool.h"
#include "tests/search/searchcheck.h"
#include "trees/fatal.h"

using namespace searchcheck;

namespace {

// Back to one thread however a test ends.
struct OneThreadAfter {
  ~OneThreadAfter() { setthreads(1); }
};

// A species tree with its own copy of some of the gene trees, as one process of a shared-out
// search holds them.
struct Part {
  std::unique_ptr<RootedTree> S;
  Genes genes;
};

// The cost change of every move, summed over the parts of a random split of the gene trees,
// is the change of the undivided collection; so is the prepared cost. Threads share out the
// undivided collection meanwhile.
TEST(Reduction, MoveCostsSumOverAnySplit) {
  OneThreadAfter after;
  std::mt19937 rng(13);
  for (int round = 0; round < 6; round++) {
    setthreads(1 + round % 3);
    auto names = speciesnames(6 + rng() % 10, "r");
    std::string text = randomrootedtext(rng, names);
    auto S = species(text);
    Genes all = randomgenes(rng, names, 150 + rng() % 200, 40);
    const int k = 2 + rng() % 3;
    std::vector<Part> parts(k);
    for (Part& p : parts) p.S = species(text);
    for (const std::string& g : all.texts) parts[rng() % k].genes.add(g);

    DlTotal whole = S->initGTS(all.v, 1);
    EXPECT_EQ(geneshare(all.v).parts(), threadcount()) << "the collection is shared out";
    DlTotal summed;
    for (Part& p : parts) summed = summed + p.S->initGTS(p.genes.v, 1);
    ASSERT_TRUE(same(whole, summed)) << "prepared, round " << round;

    int info = 0;
    std::string t;
    for (int m = 0; m < 40; m++) {
      short a = static_cast<short>(S->leaves + rng() % S->internal);
      int variant = rng() % 2;
      DlTotal delta(0, 0);
      int moved = S->nni(a, variant, all.v, delta, info, t);
      DlTotal sum;
      for (Part& p : parts) {
        DlTotal d;
        ASSERT_EQ(p.S->nni(a, variant, p.genes.v, d, info, t), moved);
        sum = sum + d;
      }
      ASSERT_TRUE(same(delta, sum)) << "move " << m << ", round " << round;
      whole = whole + delta;
    }
    checkall(*S, all, whole, "after the moves");
  }
}

// Blocks are contiguous, cover the range in order, and none is heavier than its fair share
// by more than one gene tree.
TEST(Reduction, BalancedCuts) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; round++) {
    int n = rng() % 60;
    std::vector<long> w(n);
    for (long& x : w) x = 1 + rng() % (round % 2 ? 1000 : 10);
    int lo = n ? rng() % n : 0, hi = lo + (n - lo ? rng() % (n - lo + 1) : 0);
    int parts = 1 + rng() % 5;
    std::vector<int> cuts = balancedcuts(w, lo, hi, parts);
    ASSERT_EQ(cuts.size(), static_cast<size_t>(parts + 1));
    EXPECT_EQ(cuts.front(), lo);
    EXPECT_EQ(cuts.back(), hi);
    EXPECT_TRUE(std::is_sorted(cuts.begin(), cuts.end()));
    long total = 0, heaviest = 0;
    for (int i = lo; i < hi; i++) total += w[i], heaviest = std::max(heaviest, w[i]);
    for (int b = 0; b < parts; b++) {
      long sum = 0;
      for (int i = cuts[b]; i < cuts[b + 1]; i++) sum += w[i];
      EXPECT_LE(sum, total / parts + 2 * heaviest) << "round " << round << " block " << b;
    }
  }
}

// Every part runs once, on its own thread, however often the pool is used and resized.
TEST(Reduction, PoolRunsEveryPartOnce) {
  OneThreadAfter after;
  for (int threads : {2, 3, 1, 4}) {
    setthreads(threads);
    for (int job = 0; job < 300; job++) {
      int parts = 1 + job % threads;
      std::vector<int> ran(parts, 0);
      runparts(parts, [&](int t) { ran[t]++; });
      EXPECT_EQ(ran, std::vector<int>(parts, 1));
    }
  }
}

// An error in a part on a worker thread does not end the run there (exit there would tear
// down the pool under its own threads): it ends the run from the calling thread with the
// first failing part's message, as one thread running the parts in order would.
TEST(Reduction, AnErrorInAPartEndsTheRunFromTheCallingThread) {
  // A fresh process: a forked one would have the pool's memory but not its threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto job = [] {
    setthreads(3);
    runparts(3, [](int t) {
      if (t > 0) fatal("part " + std::to_string(t) + " failed");
    });
  };
  EXPECT_EXIT(job(), testing::ExitedWithCode(255), "^part 1 failed\n$");
}

}  // namespace
