#include "trees/unrootedtree.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "tests/randomtrees.h"
#include "trees/species.h"

namespace {

std::string text(UnrootedTree& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

TEST(UnrootedTree, ThreeLeaves) {
  char s[] = "(a,b,c)";
  UnrootedTree t(s);
  EXPECT_EQ(t.leaves, 3);
  EXPECT_EQ(t.internal, 3);
  EXPECT_EQ(t.total, 6);
  EXPECT_EQ(t.inroot, 2);
  EXPECT_EQ(t.parent[2], 5);
  EXPECT_EQ(text(t), "(c,(a,b))");
  EXPECT_EQ(t.leaflabels, nullptr);
  EXPECT_EQ(t.lcamap, nullptr);
  EXPECT_EQ(t.dupcnt, nullptr);
  short x, y;
  t.getchildren(5, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 1);
}

TEST(UnrootedTree, TwoTopChildrenAndTriples) {
  char s[] = "((a,b),(c,d))";
  UnrootedTree t(s);
  EXPECT_EQ(t.total, 10);
  EXPECT_EQ(t.inroot, 9);
  EXPECT_EQ(t.parent[6], 9);
  EXPECT_EQ(t.parent[9], 6);
  EXPECT_EQ(text(t), "((c,d),(a,b))");
  std::ostringstream r;
  t.printrooting(r, 0);
  EXPECT_EQ(r.str(), "(a,(b,(c,d)))");
}

TEST(UnrootedTree, OppositesAndChildRuleOnRandomTrees) {
  std::mt19937 rng(7);
  auto names = speciesnames(9, "u");
  for (int round = 0; round < 200; round++) {
    std::string s = randomgenetext(rng, names, 3 + rng() % 30);
    UnrootedTree t(&s[0]);
    for (short v = 0; v < t.total; v++) {
      EXPECT_EQ(t.parent[t.parent[v]], v);
      EXPECT_NE(t.parent[v], v);
    }
    // Every rooting prints a tree over all leaves, and the input rooting prints the
    // input tree, whose subtrees keep their order.
    std::ostringstream all;
    t.printrooting(all, t.inroot);
    EXPECT_EQ(text(t), all.str());
    // Each internal directed node's two children and its opposite are the three
    // neighbours of one node.
    for (short v = t.leaves; v < t.total; v++) {
      short a, b;
      t.getchildren(v, a, b);
      short base = static_cast<short>(v - (v - t.leaves) % 3);
      for (short w : {a, b}) EXPECT_TRUE(t.parent[w] >= base && t.parent[w] < base + 3);
      EXPECT_NE(t.parent[a], v);
      EXPECT_NE(t.parent[b], v);
    }
  }
}

TEST(UnrootedTree, BranchLengthsAndLabels) {
  char s[] = "(a:1,b:2,c:0.5);";
  UnrootedTree t(s);
  EXPECT_EQ(t.brlen[0], 1.0);
  EXPECT_EQ(t.brlen[1], 2.0);
  EXPECT_EQ(t.brlen[2], 0.5);
  EXPECT_EQ(t.brlen[t.parent[2]], 0.5);
  char e[] = "((a:1e-05,b)x:2,(c,d)):1e-3";
  EXPECT_EXIT(UnrootedTree u(e), testing::ExitedWithCode(255), "");
  char f[] = "((a:1e-05,b):2,(c,d)):1e-3";
  UnrootedTree u(f);
  EXPECT_EQ(u.leaves, 4);
  EXPECT_EQ(u.brlen[0], 1e-05);
  char bad[] = "(a:1,b:x,c)";
  EXPECT_EXIT(UnrootedTree w(bad), testing::ExitedWithCode(246),
              "^Parse error: number expected after :$");
}

TEST(UnrootedTree, LeafLabelsAreKeptUnderARule) {
  int old = gsid;
  char* olddelim = gsdelim;
  char delim[] = "_";
  gsid = 3;
  gsdelim = delim;
  char s[] = "(HUMAN_g1,MOUSE_g2,HUMAN_g3)";
  UnrootedTree t(s);
  gsid = old;
  gsdelim = olddelim;
  ASSERT_NE(t.leaflabels, nullptr);
  EXPECT_STREQ(t.leaflabels[2], "HUMAN_g3");
  EXPECT_EQ(t.lab[0], t.lab[2]);
  EXPECT_EQ(text(t), "(HUMAN,(HUMAN,MOUSE))");
}

TEST(UnrootedTree, RejectedTexts) {
  char a[] = "(a,b)", b[] = "(a,b,c,d)", c[] = "((a,b,c),d)", d[] = "(a,b )";
  EXPECT_EXIT(UnrootedTree t(a), testing::ExitedWithCode(255),
              "Trees composed of leaves only are not allowed");
  EXPECT_EXIT(UnrootedTree t(b), testing::ExitedWithCode(255), "expected #\\)#");
  EXPECT_EXIT(UnrootedTree t(c), testing::ExitedWithCode(255), "expected #\\)#");
  EXPECT_EXIT(UnrootedTree t(d), testing::ExitedWithCode(255), "");
}

std::string genecaterpillar(int n) {
  std::string s = "(g0,g1)";
  for (int i = 2; i < n - 2; i++) s = "(" + s + ",g" + std::to_string(i % 40) + ")";
  return "(" + s + ",g2,g3)";
}

TEST(UnrootedTree, SizeLimit) {
  std::string ok = genecaterpillar(MAXGENELEAVES);
  UnrootedTree t(&ok[0]);
  EXPECT_EQ(t.leaves, 8193);
  EXPECT_EQ(t.total, 32766);
  std::string big = genecaterpillar(MAXGENELEAVES + 1);
  EXPECT_EXIT(UnrootedTree u(&big[0]), testing::ExitedWithCode(255), "");
}

}  // namespace
