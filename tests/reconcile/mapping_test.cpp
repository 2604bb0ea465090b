#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/randomtrees.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::set<std::string> names(const std::set<short>& ids) {
  std::set<std::string> out;
  for (short s : ids) out.insert(specnames[s]);
  return out;
}

TEST(Mapping, SmallestGeneTree) {
  std::string s = "((ma,mb),mc)", g = "(ma,mb,mc)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  G.clean(0);  // nothing to reset yet
  G.setlcamappings(S);
  EXPECT_EQ(std::vector<short>(G.lcamap, G.lcamap + 3), (std::vector<short>{0, 1, 2}));
  EXPECT_EQ(G.rootmap, S.root);
  // Node 5 has the children a and b; 3 and 4 see c on one side.
  EXPECT_EQ(G.lcamap[5], 3);
  EXPECT_EQ(G.lcamap[3], S.root);
  EXPECT_EQ(G.lcamap[4], S.root);
}

TEST(Mapping, EveryDirectedNodeMapsToTheLcaOfItsSpecies) {
  std::mt19937 rng(21);
  for (int round = 0; round < 200; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 20, "m");
    std::string s = randomrootedtext(rng, sp);
    std::string g = randomgenetext(rng, sp, 3 + rng() % 30);
    RootedTree S(s.data());
    UnrootedTree G(g.data());
    G.clean(0);
    G.setlcamappings(S);
    std::set<short> all = G.getrootcluster(0);
    short top = -1;
    for (short sid : all) top = top < 0 ? S.findlab(sid) : slowlca(S, top, S.findlab(sid));
    ASSERT_EQ(G.rootmap, top) << g << " " << s;
    for (short v = 0; v < G.total; v++) {
      std::set<short> cl = G.getcluster(v);
      short m = -1;
      for (short sid : cl) m = m < 0 ? S.findlab(sid) : slowlca(S, m, S.findlab(sid));
      ASSERT_EQ(G.lcamap[v], m) << g << " " << s << " node " << v;
      ASSERT_EQ(G.clustersize(v), v < G.leaves ? 1 : static_cast<short>(cl.size()));
      std::set<short> both = cl, other = G.getcluster(G.parent[v]);
      both.insert(other.begin(), other.end());
      ASSERT_EQ(both, all);
      ASSERT_EQ(G.getrootcluster(v), all);
    }
    // On demand, one node at a time, after a reset: the same images.
    std::vector<short> before(G.lcamap, G.lcamap + G.total);
    G.clean(0);
    for (short v = static_cast<short>(G.total - 1); v >= 0; v--) G._setmaps(S, v);
    ASSERT_EQ(std::vector<short>(G.lcamap, G.lcamap + G.total), before);
  }
}

TEST(Mapping, ClustersCountDistinctSpecies) {
  std::string s = "((ca,cb),cc)", g = "((ca,ca),cb,ca)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  // Leaves 0-3 are ca, ca, cb, ca; node 6 is (ca,ca).
  EXPECT_EQ(G.clustersize(0), 1);
  EXPECT_EQ(G.clustersize(6), 1);
  EXPECT_EQ(names(G.getcluster(6)), (std::set<std::string>{"ca"}));
  EXPECT_EQ(names(G.getrootcluster(2)), (std::set<std::string>{"ca", "cb"}));
}

TEST(Mapping, SingleSpeciesMapsEverythingToItsLeaf) {
  std::string s = "(oa,ob)", g = "((oa,oa),(oa,oa),oa)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  G.setlcamappings(S);
  for (short v = 0; v < G.total; v++) EXPECT_EQ(G.lcamap[v], 0);
  EXPECT_EQ(G.rootmap, 0);
}

TEST(Mapping, SpeciesMissingFromTheSpeciesTreeStopsTheRun) {
  std::string s = "(xa,xb)", g = "(xa,xb,xz)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  EXPECT_EXIT(G.setlcamappings(S), testing::ExitedWithCode(255),
              "Species lab xz \\([0-9]+\\) not found in the tree: \\(xa,xb\\)");
}

TEST(Mapping, DeepestGeneTree) {
  // A caterpillar of the largest gene size: rooted subtrees thousands of nodes deep.
  std::vector<std::string> sp = speciesnames(40, "dm");
  std::string g = caterpillargenetext(MAXGENELEAVES, [&](int i) {
    return i == MAXGENELEAVES - 1 ? sp[1] : sp[i % 40];
  });
  std::mt19937 rng(3);
  std::string s = randomrootedtext(rng, sp);
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  ASSERT_EQ(G.leaves, MAXGENELEAVES);
  G.setlcamappings(S);
  EXPECT_EQ(G.rootmap, S.root);
  EXPECT_EQ(G.clustersize(G.parent[0]), 40);
  G.clean(0);
  EXPECT_EQ(G._setmaps(S, G.parent[0]), S.root);
}

}  // namespace
