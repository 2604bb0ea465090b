#include "initial/clusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <queue>
#include <random>
#include <set>
#include <vector>

#include "search/searchcontrol.h"
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
  for (auto& c : cc.sets()) {
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

// The choice as it was made with every cluster held whole: a map over species sets, pushed
// into a heap in the map's order, each popped set tested against every one taken.
std::vector<std::set<short>> wholesetchoice(const std::map<std::set<short>, int>& counts) {
  struct Whole {
    std::set<short> c;
    int count;
  };
  auto fewer = [](const Whole& a, const Whole& b) { return a.count < b.count; };
  std::priority_queue<Whole, std::vector<Whole>, decltype(fewer)> q(fewer);
  for (auto& c : counts) q.push(Whole{c.first, c.second});
  std::vector<std::set<short>> taken;
  for (; !q.empty(); q.pop()) {
    const std::set<short>& c = q.top().c;
    bool ok = true;
    for (auto& s : taken) {
      std::vector<short> common;
      std::set_intersection(c.begin(), c.end(), s.begin(), s.end(), std::back_inserter(common));
      ok = ok && (common.empty() || common.size() == c.size() || common.size() == s.size());
    }
    if (ok) taken.push_back(c);
  }
  return taken;
}

}  // namespace

// Many equal counts (small trees of few species, in many copies) so that the heap's order of
// ties decides; multi-copy trees, trees missing species, and every size of cluster.
TEST(Clusters, ChoiceAndOrderAsWithWholeSets) {
  std::mt19937 rng(5);
  for (int round = 0; round < 150; round++) {
    int n = 4 + rng() % (round % 2 ? 70 : 200);
    auto names = speciesnames(n, "cz");
    ClustersCollection cc;
    std::vector<std::unique_ptr<UnrootedTree>> kept;
    int trees = 1 + rng() % 12;
    for (int k = 0; k < trees; k++) {
      int leaves = 3 + rng() % (round % 3 == 0 ? 8 : 2 * n);
      auto g = gene(randomgenetext(rng, names, leaves));
      cc.add(g.get());
      kept.push_back(std::move(g));
    }
    std::map<std::set<short>, int> whole = cc.sets();
    // Small budgets: one key word at a time, and the clusters to test again written anew.
    std::vector<int> order = cc.lexorder(round % 3 ? size_t{1} << 24 : 1);
    ASSERT_EQ(order.size(), whole.size());
    ASSERT_EQ(cc.size(), whole.size());
    auto w = whole.begin();
    std::vector<short> c;
    for (int id : order) {
      cc.members(cc.entries()[id], c);
      ASSERT_EQ(std::set<short>(c.begin(), c.end()), w->first);
      ASSERT_EQ(cc.entries()[id].count, w->second);
      ++w;
    }
    ASSERT_EQ(cc.chosenclusters(round % 4 ? size_t{1} << 24 : 50), wholesetchoice(whole)) << round;
  }
}

// A stop (the time limit or a signal) ends the choice after its first batch, with a prefix of
// what the whole choice takes.
TEST(Clusters, StopKeepsTheClustersTakenSoFar) {
  std::mt19937 rng(8);
  auto names = speciesnames(60, "cy");
  ClustersCollection cc;
  std::vector<std::unique_ptr<UnrootedTree>> kept;
  for (int k = 0; k < 40; k++) {
    kept.push_back(gene(randomgenetext(rng, names, 20 + rng() % 80)));
    cc.add(kept.back().get());
  }
  std::vector<std::set<short>> whole = cc.chosenclusters();
  stopsignal = 15;
  std::vector<std::set<short>> cut = cc.chosenclusters();
  stopsignal = 0;
  ASSERT_LT(cut.size(), whole.size());
  ASSERT_GT(cut.size(), 0u);
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));
}

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
    std::vector<std::unique_ptr<UnrootedTree>> kept;  // the collection refers to them
    for (int k = 0; k < 3; k++) {
      kept.push_back(gene(randomgenetext(rng, names, 3 + rng() % 12)));
      UnrootedTree* g = kept.back().get();
      cc.add(g);
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

// Sets given whole count as the same clusters as gene nodes with those species.
TEST(Clusters, GivenSetsAndMergesCountWithTreeClusters) {
  auto g = gene("((gma,gmb),(gmc,gmd))");
  short a = static_cast<short>(specnames2id["gma"]), b = static_cast<short>(specnames2id["gmb"]);
  ClustersCollection cc, other;
  cc.add(g.get());
  other.insert({a, b}, 4);
  other.insert({a}, 2);
  other.add(g.get());
  cc.merge(other);
  std::map<Names, int> want = {{{"gma", "gmb"}, 6},        {{"gmc", "gmd"}, 2},
                               {{"gma", "gmb", "gmc"}, 2}, {{"gma", "gmb", "gmd"}, 2},
                               {{"gma", "gmc", "gmd"}, 2}, {{"gmb", "gmc", "gmd"}, 2},
                               {{"gma"}, 2}};
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
