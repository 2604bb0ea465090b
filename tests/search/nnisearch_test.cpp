#include "search/nnisearch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "store/arrtab.h"
#include "trees/fatal.h"
#include "tests/search/scratchdir.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

// Weights are global settings: restored whatever the test does.
struct Weights {
  double dup = weight_dup, loss = weight_loss;
  ~Weights() {
    weight_dup = dup;
    weight_loss = loss;
  }
};

double freshtotal(const std::string& stext, const Genes& genes) {
  double sum = 0;
  for (DlCost c : freshcosts(stext, genes)) sum += c.mut();
  return sum;
}

}  // namespace

// Every tree the search stored carries the cost that a reconciliation from scratch gives it,
// and the final report agrees with the saved file.
TEST(NniSearch, SavedStoreHoldsTheCostOfEveryTree) {
  Weights keep;
  std::mt19937 rng(17);
  for (int inst = 0; inst < 12 && !HasFailure(); inst++) {
    ScratchDir scratch;
    weight_dup = inst % 3 == 0 ? 2.0 : 1.0;
    weight_loss = inst % 3 == 1 ? 0.5 : 1.0;
    auto names = speciesnames(4 + rng() % 5, "sv");
    Genes genes = randomgenes(rng, names, 3 + rng() % 8, 16);
    SpeciesTrees trees = randomspecies(rng, names, 3);
    std::vector<RootedTree*>& starts = trees.v;
    starts.push_back(starts[1]);  // the same tree again is skipped
    testing::internal::CaptureStdout();
    smpexplore2(starts, genes.v, static_cast<int>(inst % 2));
    std::string out = testing::internal::GetCapturedStdout();

    std::vector<std::string> saved = scratch.files(".kv.txt");
    ASSERT_EQ(saved.size(), 1u) << out;
    std::vector<std::string> lines = ScratchDir::lines(saved[0]);
    double optimal = 1e300;
    int optcnt = 0;
    for (const std::string& l : lines) {
      size_t blank = l.find(' ');
      double cost = std::stod(l.substr(0, blank));
      EXPECT_DOUBLE_EQ(cost, freshtotal(l.substr(blank + 1), genes)) << l;
      if (cost < optimal) optimal = cost, optcnt = 0;
      if (cost == optimal) optcnt++;
    }
    auto value = [&](const std::string& label) {
      size_t at = out.find("\n" + label);
      EXPECT_NE(at, std::string::npos) << label;
      return at == std::string::npos ? std::string() : out.substr(at + 1 + label.size());
    };
    EXPECT_EQ(std::stoul(value("Unique trees:")), lines.size());
    EXPECT_DOUBLE_EQ(std::stod(value("Optimal cost:")), optimal);
    EXPECT_EQ(std::stoi(value("Number of optimal trees:")), optcnt);
    // A dot for every tenth move of a step: "N. c/o/b. Searching... (P processed/T new trees)".
    std::istringstream in(out);
    int steps = 0;
    for (std::string l; std::getline(in, l);) {
      size_t at = l.find(". Searching");
      if (at == std::string::npos) continue;
      steps++;
      size_t dots = at + 11, open = l.find(" (", dots);
      ASSERT_NE(open, std::string::npos) << l;
      EXPECT_EQ(l.find_first_not_of('.', dots), open) << l;
      int processed = std::stoi(l.substr(open + 2));
      EXPECT_EQ(open - dots, static_cast<size_t>((processed + 9) / 10)) << l;
    }
    EXPECT_GE(steps, 3);
  }
}

namespace {

// A search whose lists at one node were forgotten: its first three moves there do not restore
// the cost. quiet: standard output is swallowed, as in a --bootstrap replicate.
void searchwithcosterror(bool quiet) {
  auto S = species("(((ce,cf),cg),ch)");
  Genes genes;
  genes.add("((ce,cf),(cg,ch))");
  genes.add("(((ce,cg),cf),ch)");
  DlTotal cost = S->initGTS(genes.v, 1);
  // Forget the nodes listed at (ce,cf): their mappings no longer match the lists.
  short cherry = S->son[S->son[S->root - S->leaves] - S->leaves];
  if (cherry != S->leaves) exit(1);
  for (size_t g = 0; g < genes.v.size(); g++) S->mspec[g][cherry] = S->mdup[g][cherry] = -1;
  ArrTab store;
  std::vector<short> buf(S->reprlen());
  TreeRepr* entry = nullptr;
  store.add(S->repr(buf.data()), S->reprlen(), cost.mut(), entry);
  std::ostringstream swallowed;
  if (quiet) {
    std::cout.rdbuf(swallowed.rdbuf());
    outputswallowed = true;
  }
  NniWalk walk(*S, genes.v, store);
  walk.cost = cost;
  walk.best = -1;
  walk.smpexplorerec3single(0);
  fprintf(stderr, "no error\n");
  exit(0);
}

}  // namespace

// With standard output swallowed, the cost error still reaches standard error.
TEST(NniSearch, CostErrorInAQuietSearchIsOnStandardError) {
  ScratchDir scratch;
  EXPECT_EXIT(searchwithcosterror(true), testing::ExitedWithCode(255), "Cost err [0-9]+ [0-9]+\n");
}

// Three moves at one place that do not restore the cost stop the search with the store saved.
TEST(NniSearch, CostErrorSavesTheStoreAndStops) {
  ScratchDir scratch;
  auto run = [] {
    dup2(2, 1);
    searchwithcosterror(false);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(255), "Cost err [0-9]+ [0-9]+\n.*kv.txt saved");
  std::vector<std::string> saved = scratch.files(".kv.txt");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_FALSE(ScratchDir::lines(saved[0]).empty());
}
