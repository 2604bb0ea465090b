#include <gtest/gtest.h>

#include "tests/isolated.h"

#include <random>
#include <string>
#include <vector>

#include "tests/randomtrees.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"

namespace {

// ((((p0,p1),p2),p3)...) or (pn-1,(...,(p1,p0))): a path as deep as the tree is large.
// Built in one pass: prepending leaf by leaf would take quadratic time on 15000 leaves.
std::string caterpillar(int n, const std::string& prefix, bool leftdeep) {
  std::string t;
  if (leftdeep) {
    t = std::string(n - 1, '(') + prefix + "0";
    for (int i = 1; i < n; i++) t += "," + prefix + std::to_string(i) + ")";
  } else {
    for (int i = n - 1; i >= 1; i--) t += "(" + prefix + std::to_string(i) + ",";
    t += prefix + "0" + std::string(n - 1, ')');
  }
  return t;
}

std::string balanced(const std::vector<std::string>& names, size_t lo, size_t hi) {
  if (hi - lo == 1) return names[lo];
  size_t mid = (lo + hi) / 2;
  return "(" + balanced(names, lo, mid) + "," + balanced(names, mid, hi) + ")";
}

void expectfulltable(RootedTree& S) {
  S.initlca();
  for (short i = 1; i < S.total; i++)
    for (short j = 0; j < i; j++) {
      short want = slowlca(S, i, j);
      ASSERT_EQ(S.lcatab[i][j], want) << i << " " << j;
      ASSERT_EQ(S._lca(i, j), want) << i << " " << j;
      ASSERT_EQ(S.lca(j, i), want);
    }
}

TEST(SpeciesQueries, LcaTableAgreesWithTheWalksOnManyTrees) {
  std::mt19937 rng(11);
  for (int round = 0; round < 150; round++) {
    int n = 2 + static_cast<int>(rng() % 60);
    std::string t = randomrootedtext(rng, speciesnames(n, "q"));
    RootedTree S(t.data());
    expectfulltable(S);
  }
  for (int n : {2, 3, 17, 64}) {
    std::vector<std::string> names = speciesnames(n, "q");
    std::string shapes[] = {caterpillar(n, "q", true), caterpillar(n, "q", false),
                            balanced(names, 0, names.size())};
    for (std::string& t : shapes) {
      RootedTree S(t.data());
      expectfulltable(S);
    }
  }
}

// Swaps the subtrees of x and y (neither above the other), as a move of the search would.
void swapsubtrees(RootedTree& S, short x, short y) {
  short px = S.parent[x], py = S.parent[y];
  short& sx = S.son[px] == x ? S.son[px] : S.son[px - S.leaves];
  short& sy = S.son[py] == y ? S.son[py] : S.son[py - S.leaves];
  sx = y;
  sy = x;
  S.parent[x] = py;
  S.parent[y] = px;
}

TEST(SpeciesQueries, TableAndDepthsAreRefilledInPlaceAfterAShapeChange) {
  std::string t = "(((q0,q1),q2),((q3,q4),q5))";
  RootedTree S(t.data());
  S.setdepth(-1, 0);
  S.initlca();
  short** table = S.lcatab;
  short* row = S.lcatab[5];
  short* depth = S.depth;
  swapsubtrees(S, 0, 5);  // q0 <-> q5
  S.setdepth(-1, 0);
  expectfulltable(S);
  EXPECT_EQ(S.lcatab, table);
  EXPECT_EQ(S.lcatab[5], row);
  EXPECT_EQ(S.depth, depth);
  for (short v = 0; v < S.total; v++)
    EXPECT_EQ(S.depth[v], v == S.root ? 0 : S.depth[S.parent[v]] + 1);
}

TEST(SpeciesQueries, QueriesAtTheirEdges) {
  std::string t = "((q0,q1),(q2,(q3,q4)))";
  RootedTree S(t.data());
  // Leaves 0-4; (q0,q1)=5, (q3,q4)=6, (q2,(q3,q4))=7, root 8.
  EXPECT_EQ(S.lca(3, 3), 3);
  EXPECT_EQ(S.lcatab, nullptr);
  EXPECT_EQ(S.lca(0, 5), 5);
  EXPECT_EQ(S.lca(8, 2), 8);
  EXPECT_EQ(S.lca(2, 4), 7);
  EXPECT_NE(S.lcatab, nullptr);

  S.setdepth(-1, 0);
  EXPECT_EQ(std::vector<short>(S.depth, S.depth + 9), (std::vector<short>{2, 2, 2, 3, 3, 1, 2, 1, 0}));
  EXPECT_EQ(S.getlosses(7, 7, 7), 0);
  EXPECT_EQ(S.getlosses(8, 3, 8), 3);        // duplication: full gap to the other child
  EXPECT_EQ(S.getlosses(8, 8, 0), 2);
  EXPECT_EQ(S.getlosses(8, 5, 7), 0);        // speciation into the two children
  EXPECT_EQ(S.getlosses(8, 0, 3), 1 + 2);    // one short of each gap

  EXPECT_EQ(S.dist(4, 4), 0);
  EXPECT_EQ(S.dist(4, 8), 3);
  EXPECT_EQ(S.dist(4, 7), 2);
  EXPECT_EQ(S.dist(0, 7), -1);  // not an ancestor: no walk past the root

  EXPECT_EQ(S.isparent(3, 3, 6), 1);
  EXPECT_EQ(S.isparent(7, 3, 6), 0);  // the barrier is the parent of the start
  EXPECT_EQ(S.isparent(7, 3, 5), 1);
  EXPECT_EQ(S.isparent(7, 3, 7), 0);  // barrier equal to the target, above the start
  EXPECT_EQ(S.isparent(0, 3, 5), 0);  // the walk passes the root

  EXPECT_EQ(S.clustersize(8), 5);
  EXPECT_EQ(S.clustersize(7), 3);
  EXPECT_EQ(S.clustersize(2), 1);
}

TEST(SpeciesQueries, DeepestAndLargestSpeciesTrees) {
  isolated([&] {
  std::mt19937 rng(5);
  for (bool leftdeep : {true, false}) {
    std::string t = caterpillar(MAXLEAVES, "deep", leftdeep);
    RootedTree S(t.data());
    S.setdepth(-1, 0);
    EXPECT_EQ(S.clustersize(S.root), MAXLEAVES);
    short deepest = leftdeep ? 0 : static_cast<short>(S.leaves - 1);
    EXPECT_EQ(S.depth[deepest], MAXLEAVES - 1);
    EXPECT_EQ(S.dist(deepest, S.root), MAXLEAVES - 1);
    EXPECT_EQ(S.isparent(S.root, deepest, -1), 1);
    // One table of this size is enough (it takes most of a second to fill).
    if (!leftdeep) continue;
    S.initlca();
    for (int k = 0; k < 3000; k++) {
      short a = static_cast<short>(rng() % S.total), b = static_cast<short>(rng() % S.total);
      ASSERT_EQ(S.lca(a, b), slowlca(S, a, b)) << a << " " << b;
    }
    for (short v = 1; v < S.total; v += 997) ASSERT_EQ(S.lca(v, 0), slowlca(S, v, 0));
  }
  });
}

}  // namespace
