#include "initial/clusters.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "tests/randomtrees.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::unique_ptr<UnrootedTree> gene(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return std::make_unique<UnrootedTree>(buf.data());
}

using Names = std::set<std::string>;

std::map<Names, int> bynames(const ClustersCollection& cc) {
  std::map<Names, int> m;
  for (auto& c : cc.counts) {
    Names n;
    for (short s : c.first) n.insert(specnames[s]);
    m[n] = c.second;
  }
  return m;
}

// From scratch: the species below directed node v, by walking its whole subtree.
void below(UnrootedTree& g, short v, Names& out) {
  if (v < g.leaves) {
    out.insert(specnames[g.lab[v]]);
    return;
  }
  short a, b;
  g.getchildren(v, a, b);
  below(g, a, out);
  below(g, b, out);
}

}  // namespace

TEST(Clusters, FourLeafTreeOffersBothSidesOfEveryEdge) {
  auto g = gene("((cla,clb),(clc,cld))");
  ClustersCollection cc;
  cc.add(g.get());
  std::map<Names, int> want = {{{"cla", "clb"}, 1},        {{"clc", "cld"}, 1},
                               {{"cla", "clb", "clc"}, 1}, {{"cla", "clb", "cld"}, 1},
                               {{"cla", "clc", "cld"}, 1}, {{"clb", "clc", "cld"}, 1}};
  EXPECT_EQ(bynames(cc), want);
  cc.add(g.get());
  for (auto& w : want) w.second = 2;
  EXPECT_EQ(bynames(cc), want);

  // Two genes of one species under one node: that one-species cluster is not counted.
  auto h = gene("((cla,cla),(clb,clc))");
  ClustersCollection ch;
  ch.add(h.get());
  std::map<Names, int> hwant = {{{"clb", "clc"}, 1}, {{"cla", "clb"}, 1}, {{"cla", "clc"}, 1},
                                {{"cla", "clb", "clc"}, 2}};
  EXPECT_EQ(bynames(ch), hwant);
}

TEST(Clusters, CountsMatchAWalkOfEveryDirectedNode) {
  std::mt19937 rng(17);
  auto names = speciesnames(7, "cw");
  for (int round = 0; round < 100; round++) {
    ClustersCollection cc;
    std::map<Names, int> want;
    for (int k = 0; k < 3; k++) {
      auto g = gene(randomgenetext(rng, names, 3 + rng() % 12));
      cc.add(g.get());
      for (short v = 0; v < g->total; v++) {
        Names n;
        below(*g, v, n);
        if (n.size() >= 2) want[n]++;
      }
    }
    ASSERT_EQ(bynames(cc), want);
  }
}

TEST(Clusters, SizeLimitLeavesOutClustersOfThatSize) {
  auto g = gene("((sla,slb),(slc,sld))");
  ClustersCollection cc;
  cc.sizelimit = 3;
  cc.add(g.get());
  std::map<Names, int> want = {{{"sla", "slb"}, 1}, {{"slc", "sld"}, 1}};
  EXPECT_EQ(bynames(cc), want);
}

TEST(Clusters, Subseteq) {
  std::set<short> empty, one = {1}, onetwo = {1, 2}, big = {0, 1, 2, 5};
  EXPECT_EQ(subseteq(empty, one), 1);
  EXPECT_EQ(subseteq(empty, empty), 1);
  EXPECT_EQ(subseteq(onetwo, one), 0);
  EXPECT_EQ(subseteq(one, onetwo), 1);
  EXPECT_EQ(subseteq(onetwo, big), 1);
  EXPECT_EQ(subseteq(big, onetwo), 0);
}
