#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/randomtrees.h"
#include "tests/reconcile/othercosts.h"
#include "tests/reconcile/prepare.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

TEST(OtherCosts, SmallestGeneTree) {
  std::string s = "((oa,ob),oc)", g = "(oa,ob,oc)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  // Rooting c | (a,b) is node 2 (or 5); a | (b,c) is node 0 (or 3).
  EXPECT_EQ(dccost(G, S, 2), 4);
  EXPECT_EQ(spcost(G, S, 2), 2);
  EXPECT_EQ(rfcost(G, S, 2), 0);
  EXPECT_EQ(rfocost(G, S, 2), 1);
  EXPECT_EQ(dccost(G, S, 0), 5);
  EXPECT_EQ(spcost(G, S, 0), 1);
  EXPECT_EQ(rfocost(G, S, 0), 0);
  EXPECT_EQ(rfcost(G, S, 0), 2);
  EXPECT_EQ(maxdist(G, 0), 0);
  EXPECT_EQ(maxdist(G, 5), 1);
  EXPECT_EQ(maxdist(G, 3), 1);
}

int height(const std::string& text) {
  int depth = 0, most = 0;
  for (char c : text) {
    if (c == '(') most = std::max(most, ++depth);
    if (c == ')') depth--;
  }
  return most;
}

TEST(OtherCosts, EveryRootingAgreesWithACountFromScratch) {
  std::mt19937 rng(17);
  for (int round = 0; round < 200; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 15, "oc");
    std::string s = randomrootedtext(rng, sp);
    std::vector<std::string> drawn(sp.begin(), sp.begin() + 1 + rng() % sp.size());
    std::string g = randomgenetext(rng, drawn, 3 + rng() % 25);
    RootedTree S(s.data());
    UnrootedTree G(g.data());
    prepare(S, G);
    for (short v = 0; v < G.total; v++) {
      SlowCosts c = slowcosts(G, v, S);
      ASSERT_EQ(dccost(G, S, v), c.dc) << g << " in " << s << " at " << v;
      ASSERT_EQ(spcost(G, S, v), c.sp) << g << " in " << s << " at " << v;
      ASSERT_EQ(rfcost(G, S, v), c.rf) << g << " in " << s << " at " << v;
      ASSERT_EQ(rfocost(G, S, v), c.rfo) << g << " in " << s << " at " << v;
      std::ostringstream sub;
      G.printsubtree(sub, v, 0);
      ASSERT_EQ(maxdist(G, v), height(sub.str()));
    }
  }
}

}  // namespace
