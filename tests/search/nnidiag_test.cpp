#include "search/nnidiag.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/search/scratchdir.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

// dumpcnt is program-wide: each test starts where it wants and puts it back.
struct DumpCount {
  int saved = dumpcnt;
  explicit DumpCount(int start) { dumpcnt = start; }
  ~DumpCount() { dumpcnt = saved; }
};

}  // namespace

TEST(NniDump, NamesNumbersAndSelector) {
  ScratchDir scratch;
  DumpCount count(0);
  auto S = species("((da,db),dc)");
  Genes genes;
  genes.add("(da,db,dc)");
  genes.add("((da,da),db,dc)");
  genes.add("(da,dc,dc)");
  S->initGTS(genes.v, 1);

  testing::internal::CaptureStdout();
  S->dumpnnistructs(genes.v, -1, -1);
  S->dumpnnistructs(genes.v, 1, 0);
  dumpcnt = 123;
  S->dumpnnistructs(genes.v, -1, 777);
  S->dumpnnistructs(genes.v, -1, 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Dump nnistructs 1 nni.00.dump\n"
            "Dump nnistructs 2 nni.01.dump\n"
            "Dump nnistructs 124 777.nni.123.dump\n"
            "Dump nnistructs 125 005.nni.124.dump\n");
  for (const char* f : {"nni.00.dump", "nni.01.dump", "777.nni.123.dump", "005.nni.124.dump"}) {
    EXPECT_FALSE(ScratchDir::lines(f).empty()) << f;
    EXPECT_FALSE(ScratchDir::lines(std::string(f) + ".raw").empty()) << f;
  }

  // Selector 1: all headers and the count of every gene tree, the block of tree 1 only.
  std::vector<std::string> all = ScratchDir::lines("nni.00.dump");
  std::vector<std::string> one = ScratchDir::lines("nni.01.dump");
  auto block = [](const std::vector<std::string>& l, const std::string& head) {
    std::vector<std::string> b;
    auto it = std::find(l.begin(), l.end(), head);
    for (; it != l.end() && (b.empty() || it->rfind("##### ", 0) != 0); ++it) b.push_back(*it);
    return b;
  };
  EXPECT_EQ(std::count(one.begin(), one.end(), "##### Gene tree 1"), 1);
  EXPECT_EQ(std::count(one.begin(), one.end(), "##### Gene tree 0"), 0);
  EXPECT_EQ(std::count(one.begin(), one.end(), "##### Gene tree 2"), 0);
  auto head = std::find(one.begin(), one.end(), "##### Gene tree 1");
  EXPECT_EQ(std::vector<std::string>(one.begin(), head),
            std::vector<std::string>(all.begin(), std::find(all.begin(), all.end(), "##### Gene tree 0")));
  EXPECT_EQ(block(one, "##### Gene tree 1"), block(all, "##### Gene tree 1"));
  EXPECT_NE(std::find(one.begin(), one.end(), "3"), one.end());  // the number of gene trees
}

// The random-move test: a dump before the first move and after each of 10001 moves, and every
// stored tree's cost equal to a reconciliation from scratch.
TEST(NniDump, TesterMovesAndStore) {
  ScratchDir scratch;
  DumpCount count(0);
  srand(1);
  auto S = species("(((ta,tb),(tc,td)),te)");
  Genes genes;
  genes.add("((ta,tb),(tc,te),td)");
  genes.add("((ta,ta),(tb,(tc,td)))");
  testing::internal::CaptureStdout();
  nnitester(S.get(), genes.v);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(out.rfind("xx=", 0), 0u);
  EXPECT_NE(out.find("\nTET\nDump nnistructs 1 777.nni.00.dump\n"), std::string::npos);
  EXPECT_NE(out.find("\nDump nnistructs 10002 777.nni.10001.dump\nMOVE "), std::string::npos);
  EXPECT_NE(out.find("\nDist 10001\n"), std::string::npos);
  EXPECT_EQ(scratch.files(".dump").size(), 10002u);
  std::vector<std::string> saved = scratch.files(".kv.txt");
  ASSERT_EQ(saved.size(), 1u);
  for (const std::string& l : ScratchDir::lines(saved[0])) {
    size_t blank = l.find(' ');
    double sum = 0;
    for (DlCost c : freshcosts(l.substr(blank + 1), genes)) sum += c.mut();
    EXPECT_DOUBLE_EQ(std::stod(l.substr(0, blank)), sum) << l;
  }
  DlTotal total;
  for (UnrootedTree* g : genes.v) total = total + DlTotal(g->curcost, 1);
  checkall(*S, genes, total, "after the test run");
}

TEST(NniDump, TesterRefusesTwoLeaves) {
  auto S = species("(ua,ub)");
  Genes genes;
  EXPECT_EXIT(nnitester(S.get(), genes.v), testing::ExitedWithCode(255),
              "needs a species tree of at least 3 leaves");
}
