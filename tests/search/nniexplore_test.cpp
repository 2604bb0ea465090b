#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "driver/options.h"
#include "driver/runmode.h"
#include "search/nnidiag.h"
#include "tests/search/scratchdir.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

// Every tree the exploration prints carries the cost pair of a reconciliation from scratch.
TEST(NniExplore, PrintedCostsAreFreshCosts) {
  int keepdumps = dumpcnt;
  std::mt19937 rng(31);
  int checked = 0;
  for (int inst = 0; inst < 10 && !HasFailure(); inst++) {
    ScratchDir scratch;
    auto names = speciesnames(3 + rng() % 6, "ex");
    Genes genes = randomgenes(rng, names, 1 + rng() % 5, 14);
    SpeciesTrees trees = randomspecies(rng, names, 2);
    std::vector<RootedTree*>& stree = trees.v;
    Options opt;
    opt.explore = true;
    // All moves, or one move at the root with either variant.
    opt.nninum = inst % 3 == 0 ? 0 : (inst % 3 == 1 ? 1 : -1) * stree[0]->root;
    if (stree[1]->root != stree[0]->root) opt.nninum = 0;
    testing::internal::CaptureStdout();
    runmode(opt, stree, genes.v);
    std::istringstream out(testing::internal::GetCapturedStdout());
    for (std::string l; std::getline(out, l);) {
      size_t at = l.find(" toto ");
      if (at == std::string::npos) continue;
      std::string tree = l.substr(0, at);
      size_t close = l.find(')', at);
      std::string pair = l.substr(at + 6, close - at - 5);
      DlCost sum(0, 0);
      for (DlCost c : freshcosts(tree, genes)) sum = sum + c;
      std::ostringstream want;
      want << sum;
      EXPECT_EQ(pair, want.str()) << l;
      checked++;
    }
  }
  EXPECT_GT(checked, 40);
  dumpcnt = keepdumps;
}
