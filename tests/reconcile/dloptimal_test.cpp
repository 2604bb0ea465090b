#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/dlcost.h"
#include "tests/randomtrees.h"
#include "tests/reconcile/prepare.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::string pair(DlCost c) {
  std::ostringstream s;
  s << c;
  return s.str();
}

TEST(DlCost, SmallestGeneTree) {
  std::string s = "((da,db),dc)", g = "(da,db,dc)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  EXPECT_EQ(pair(G.dlcost(S, 2)), "(0,0)");  // c | (a,b)
  EXPECT_EQ(pair(G.dlcost(S, 0)), "(1,3)");  // a | (b,c)
  EXPECT_EQ(pair(G.dlcost(S, 3)), "(1,3)");
  short r = G.findoptimal(S);
  EXPECT_TRUE(r == 2 || r == 5);
  EXPECT_EQ(pair(G.dlcost(S, r)), "(0,0)");
}

// Every rooting evaluated from scratch on its printed text: the incremental counts, both
// names of each rooting, and the walk of findoptimal against the minima.
void checkall(RootedTree& S, UnrootedTree& G, const std::string& what) {
  long mindup = 1L << 40, minloss = 1L << 40;
  for (short v = 0; v < G.total; v++) {
    SlowCosts c = slowcosts(G, v, S);
    DlCost d = G.dlcost(S, v), o = G.dlcost(S, G.parent[v]);
    ASSERT_EQ(d.dup, c.dup) << what << " rooting " << rootingtext(G, v);
    ASSERT_EQ(d.loss, c.loss) << what << " rooting " << rootingtext(G, v);
    ASSERT_EQ(pair(d), pair(o));
    mindup = std::min(mindup, c.dup);
    minloss = std::min(minloss, c.loss);
  }
  short r = G.findoptimal(S);
  DlCost best = G.dlcost(S, r);
  ASSERT_EQ(best.dup, mindup) << what << " found " << rootingtext(G, r);
  ASSERT_EQ(best.loss, minloss) << what << " found " << rootingtext(G, r);
}

TEST(DlCost, OptimalRootingHasTheFewestDuplicationsAndLosses) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 25, "d");
    std::string s = randomrootedtext(rng, sp);
    // Few species for many leaves now and then: many copies of each.
    int n = 3 + rng() % (round % 3 ? 30 : 12);
    std::vector<std::string> drawn(sp.begin(), sp.begin() + 1 + rng() % sp.size());
    std::string g = randomgenetext(rng, drawn, n);
    RootedTree S(s.data());
    UnrootedTree G(g.data());
    prepare(S, G);
    checkall(S, G, g + " in " + s);
  }
}

TEST(DlCost, ANewSpeciesTreeAfterCleanGivesItsOwnCosts) {
  std::mt19937 rng(8);
  std::vector<std::string> sp = speciesnames(12, "dn");
  for (int round = 0; round < 50; round++) {
    std::string s1 = randomrootedtext(rng, sp), s2 = randomrootedtext(rng, sp);
    std::string g = randomgenetext(rng, sp, 4 + rng() % 25);
    RootedTree S1(s1.data()), S2(s2.data());
    UnrootedTree G(g.data());
    prepare(S1, G);
    for (short v = 0; v < G.total; v++) G.dlcost(S1, v);  // every count filled under S1
    G.findoptimal(S1);
    prepare(S2, G);
    checkall(S2, G, g + " in " + s2 + " after " + s1);
  }
}

TEST(DlCost, SingleSpeciesGeneTreeIsAllDuplications) {
  std::string s = "((ea,eb),ec)";
  RootedTree S(s.data());
  for (std::string g : {"((ea,ea),(ea,ea),ea)", "(ea,(ea,ea))", "((ea,ea),ea,(ea,ea))"}) {
    UnrootedTree G(g.data());
    prepare(S, G);
    for (short v = 0; v < G.total; v++) EXPECT_EQ(pair(G.dlcost(S, v)), "(" + std::to_string(G.leaves - 1) + ",0)");
    short want = G.inroot < G.leaves ? G.parent[G.inroot] : G.inroot;
    EXPECT_EQ(G.findoptimal(S), want) << g;
  }
}

TEST(DlCost, MapListsHoldEveryNodeOnceUnderItsImage) {
  std::mt19937 rng(9);
  std::vector<std::string> sp = speciesnames(10, "dl");
  for (int round = 0; round < 60; round++) {
    std::string s = randomrootedtext(rng, sp), g = randomgenetext(rng, sp, 3 + rng() % 30);
    RootedTree S(s.data());
    UnrootedTree G(g.data());
    prepare(S, G);
    std::vector<short> duph(S.total, -1), spech(S.total, -1), dupc(S.total, 0), specc(S.total, 0);
    G.preparemaplist(duph.data(), spech.data(), dupc.data(), specc.data(), 1);
    // A second pass over fresh heads reuses the link arrays.
    short* links = G.dupnext;
    std::fill(duph.begin(), duph.end(), -1);
    std::fill(spech.begin(), spech.end(), -1);
    std::fill(dupc.begin(), dupc.end(), 0);
    std::fill(specc.begin(), specc.end(), 0);
    G.preparemaplist(duph.data(), spech.data(), dupc.data(), specc.data(), 0);
    ASSERT_EQ(G.dupnext, links);
    for (short i = 0; i < G.leaves; i++) {
      short x = spech[S.findlab(G.lab[i])];
      while (x != -1 && x != i) x = G.specnext[x];
      ASSERT_EQ(x, i);
    }
    std::vector<int> seen(G.total, 0);
    for (short m = 0; m < S.total; m++) {
      int nd = 0, ns = 0;
      for (short x = duph[m], prev = G.total; x != -1; prev = x, x = G.dupnext[x], nd++) {
        ASSERT_LT(x, prev);  // prepended: decreasing order
        ASSERT_EQ(G.lcamap[x], m);
        ASSERT_GE(x, G.leaves);
        short a, b;
        G.getchildren(x, a, b);
        ASSERT_TRUE(G.lcamap[a] == m || G.lcamap[b] == m);
        ASSERT_EQ(G.specnext[x], -1);
        seen[x]++;
      }
      for (short x = spech[m], prev = G.total; x != -1; prev = x, x = G.specnext[x], ns++) {
        ASSERT_LT(x, prev);
        ASSERT_EQ(G.lcamap[x], m);
        if (x >= G.leaves) {
          short a, b;
          G.getchildren(x, a, b);
          ASSERT_TRUE(G.lcamap[a] != m && G.lcamap[b] != m);
        }
        ASSERT_EQ(G.dupnext[x], -1);
        seen[x]++;
      }
      ASSERT_EQ(dupc[m], nd);
      ASSERT_EQ(specc[m], ns);
    }
    for (short x = 0; x < G.total; x++) ASSERT_EQ(seen[x], 1);
  }
}

TEST(DlCost, DirmapparentIsTheImageOfAParentBelowTheRoot) {
  std::string s = "(((pa,pb),pc),pd)", g = "((pa,pb),pc,pd)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  // Leaves 0-3; 4-6 is the triple of (pa,pb), 7-9 the top node; node 6 = (pa,pb).
  // Above leaf pa: the node joining it with pb maps to (pa,pb).
  EXPECT_EQ(G.dirmapparent(0), G.lcamap[6]);
  // Above (pa,pb): the join with pc maps to ((pa,pb),pc); the join with pd maps to the root.
  EXPECT_EQ(G.dirmapparent(6), S.parent[G.lcamap[6]]);
  // Above pd: both joins take in pa, pb and pc or pd: the root on both sides.
  EXPECT_EQ(G.dirmapparent(3), -1);
}

TEST(DlCost, DeepestGeneTree) {
  std::vector<std::string> sp = speciesnames(30, "dd");
  std::mt19937 rng(4);
  std::string s = randomrootedtext(rng, sp);
  std::string g = caterpillargenetext(MAXGENELEAVES, [&](int i) {
    return i == 0 ? sp[0] : i == MAXGENELEAVES - 1 ? sp[5] : sp[rng() % 30];
  });
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  // The first cost from the far end of the caterpillar fills the counts all the way down.
  DlCost first = G.dlcost(S, 0);
  long mindup = first.dup, minloss = first.loss;
  for (short v = 0; v < G.total; v++) {
    DlCost c = G.dlcost(S, v);
    mindup = std::min<long>(mindup, c.dup);
    minloss = std::min<long>(minloss, c.loss);
  }
  DlCost best = G.dlcost(S, G.findoptimal(S));
  EXPECT_EQ(best.dup, mindup);
  EXPECT_EQ(best.loss, minloss);
}

}  // namespace
