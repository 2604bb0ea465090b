#include "trees/rootedtree.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/isolated.h"
#include "trees/species.h"

namespace {

std::string text(RootedTree& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

std::vector<short> arr(short* a, int n) { return std::vector<short>(a, a + n); }

TEST(RootedTree, NumberingOfASmallTree) {
  char s[] = "((a,b),c)";
  RootedTree t(s);
  EXPECT_EQ(t.leaves, 3);
  EXPECT_EQ(t.total, 5);
  EXPECT_EQ(t.root, 4);
  EXPECT_EQ(arr(t.son, 5), (std::vector<short>{0, 3, -1, 1, 2}));
  EXPECT_EQ(arr(t.parent, 5), (std::vector<short>{3, 3, 4, 4, -1}));
  EXPECT_EQ(arr(t.level, 5), (std::vector<short>{0, 0, 0, 1, 2}));
  EXPECT_EQ(specnames[t.lab[0]], "a");
  EXPECT_EQ(specnames[t.lab[2]], "c");
  EXPECT_EQ(text(t), "((a,b),c)");
  EXPECT_EQ(t.depth, nullptr);
  EXPECT_EQ(t.lcatab, nullptr);
  std::ostringstream sub;
  t.printsubtree(sub, 3);
  EXPECT_EQ(sub.str(), "(a,b)");
}

TEST(RootedTree, LenientSeparatorsBlanksAndSemicolons) {
  char a[] = "(a)b)", b[] = " ( a , b ) ; ;", c[] = "(a,b)\n";
  RootedTree ta(a), tb(b), tc(c);
  EXPECT_EQ(text(ta), "(a,b)");
  EXPECT_EQ(text(tb), "(a,b)");
  EXPECT_EQ(tc.total, 3);
  EXPECT_EQ(tc.root, 2);
}

TEST(RootedTree, FindlabReturnsTheFirstLeafOfASpecies) {
  char s[] = "((a,b),(a,c))";
  RootedTree t(s);
  char a[] = "a", c[] = "c";
  EXPECT_EQ(t.findlab(getspecies(a, 0)), 0);
  EXPECT_EQ(t.findlab(getspecies(c, 0)), 3);
  char z[] = "onlyingenes";
  short id = getspecies(z, 0);
  EXPECT_EXIT(t.findlab(id), testing::ExitedWithCode(255),
              "Species lab onlyingenes \\(" + std::to_string(id) +
                  "\\) not found in the tree: \\(\\(a,b\\),\\(a,c\\)\\)");
}

TEST(RootedTree, NodeTable) {
  char s[] = "(a,b)";
  RootedTree t(s);
  std::ostringstream out;
  t.printdeb(out);
  std::string a = std::to_string(t.lab[0]), b = std::to_string(t.lab[1]);
  EXPECT_EQ(out.str(), "leaves=2 internal=1 total=3\n"
                       "0   2   $" + a + " aa\n"
                       "1   2   $" + b + " bb\n"
                       "2   -1  *    0   1  (a,b)\n");
}

TEST(RootedTree, MalformedTextsAreRejected) {
  char s1[] = "(1,(a,b))", s2[] = "(a,b,c)", s3[] = "a", s4[] = "((a,b)c,d)";
  EXPECT_EXIT(RootedTree t(s1), testing::ExitedWithCode(255),
              "Is it a binary tree\\? Too many leaves in rooted tree");
  EXPECT_EXIT(RootedTree t(s2), testing::ExitedWithCode(255), "found 'c\\)'");
  EXPECT_EXIT(RootedTree t(s3), testing::ExitedWithCode(255),
              "Trees composed of leaves only are not allowed");
  EXPECT_EXIT(RootedTree t(s4), testing::ExitedWithCode(255), "");
  // Nesting far deeper than the leaves allow must not exhaust the stack.
  std::string deep = std::string(200000, '(') + "a,b" + std::string(200000, ')');
  EXPECT_EXIT(RootedTree t(&deep[0]), testing::ExitedWithCode(255), "Too many nodes");
}

// Built in one pass: prepending leaf by leaf would take quadratic time on 15000 leaves.
std::string caterpillar(int n, const std::string& prefix) {
  std::string s(n - 1, '(');
  s += prefix + "0";
  for (int i = 1; i < n; i++) s += "," + prefix + std::to_string(i) + ")";
  return s;
}

TEST(RootedTree, SizeLimits) {
  std::string ok = caterpillar(MAXLEAVES, "lim");
  isolated([&] {
    RootedTree t(&ok[0]);
    EXPECT_EQ(t.leaves, 15000);
    EXPECT_EQ(t.total, 29999);
    EXPECT_EQ(t.level[t.root], 14999);
    std::ostringstream out;
    t.print(out);
    EXPECT_EQ(out.str(), ok);
  });
  std::string big = caterpillar(MAXLEAVES + 1, "lim");
  EXPECT_EXIT(RootedTree u(&big[0]), testing::ExitedWithCode(255), "");
}

}  // namespace
