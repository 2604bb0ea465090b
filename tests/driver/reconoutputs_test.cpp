#include "driver/reconoutputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/longopts.h"
#include "io/newick.h"
#include "search/searchcontrol.h"
#include "tests/filetext.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

class AfterSearch : public testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    char templ[] = "/tmp/kelvoraXXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir = templ;
  }
  void TearDown() override {
    longopt.eventsprefix.clear();
    longopt.reconciledfile.clear();
    searchoutcome.optimal.clear();
    searchoutcome.trees.clear();
    std::system(("rm -rf " + dir).c_str());
  }
};

// After -Y the files describe the first optimal tree of the search, not the trees it started from.
TEST_F(AfterSearch, FilesFollowTheFirstOptimalTree) {
  Options opt;
  opt.search = true;
  EXPECT_TRUE(searchruns(opt));
  opt.consensus = true;  // -w runs instead
  EXPECT_FALSE(searchruns(opt));

  EXPECT_TRUE(searchbest().empty());  // neither option: nothing parsed, nothing asked
  longopt.eventsprefix = dir + "/ev";
  longopt.reconciledfile = dir + "/rec.nhx";
  EXPECT_EXIT(searchbest(), testing::ExitedWithCode(255), "The search left no tree");
  std::string g = "(sra,srb,src)";
  UnrootedTree G(g.data());
  searchoutcome.optimal = {{0, "((sra,srb),src)"}, {0, "((sra,src),srb)"}};
  const int a = specnames2id["sra"], b = specnames2id["srb"], c = specnames2id["src"];
  searchoutcome.trees = {{a, b, POSTJOIN, c, POSTJOIN}, {a, c, POSTJOIN, b, POSTJOIN}};
  std::vector<UnrootedTree*> gtree{&G};
  std::vector<RootedTree*> best = searchbest();
  ASSERT_EQ(best.size(), 1u);
  reconoutputs(best, gtree);
  EXPECT_EQ(slurp(dir + "/ev.events.nhx"),
            "((sra[&&NHX:DUP=0:L=0:C=1:G=1],srb[&&NHX:DUP=0:L=0:C=1:G=1])"
            "n3[&&NHX:DUP=0:L=0:C=1:G=1],src[&&NHX:DUP=0:L=0:C=1:G=1])"
            "n4[&&NHX:DUP=0:L=0:C=1:G=1];\n");
  EXPECT_EQ(slurp(dir + "/rec.nhx"),
            "((sra[&&NHX:S=sra:L=0],srb[&&NHX:S=srb:L=0])[&&NHX:S=n3:D=N:L=0],"
            "src[&&NHX:S=src:L=0])[&&NHX:S=n4:D=N:L=0];\n");
  EXPECT_FALSE(slurp(dir + "/ev.events.svg").empty());
  EXPECT_NE(slurp(dir + "/ev.events.tsv").find("4\t((sra,srb),src)\t0\t0\t1\t1\n"),
            std::string::npos);
  delete best[0];
}

}  // namespace
