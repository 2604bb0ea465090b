#include "initial/consensus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <queue>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "initial/clusters.h"
#include "initial/randomtree.h"
#include "tests/randomtrees.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

using Names = std::set<std::string>;

UnrootedTree* gene(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return new UnrootedTree(buf.data());
}

std::string printed(RootedTree& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

Names clade(RootedTree& t, short v, std::set<Names>& all) {
  Names s;
  if (v < t.leaves) {
    s.insert(specnames[t.lab[v]]);
  } else {
    s = clade(t, t.son[v - t.leaves], all);
    Names r = clade(t, t.son[v], all);
    s.insert(r.begin(), r.end());
  }
  all.insert(s);
  return s;
}

std::set<Names> clades(RootedTree& t) {
  std::set<Names> all;
  clade(t, t.root, all);
  return all;
}

Names names(const std::set<short>& c) {
  Names n;
  for (short s : c) n.insert(specnames[s]);
  return n;
}

// Every registered species is a leaf exactly once.
void expectallspecies(RootedTree& t) {
  ASSERT_EQ(t.leaves, static_cast<int>(specnames.size()));
  std::vector<short> labs(t.lab, t.lab + t.leaves);
  std::sort(labs.begin(), labs.end());
  for (int i = 0; i < t.leaves; i++) ASSERT_EQ(labs[i], i);
}

class QuasiConsensus : public testing::Test {
 protected:
  double oldprob = nniconsprob;
  std::vector<UnrootedTree*> genes;
  void SetUp() override {
    srand(1);
    std::mt19937 rng(23);
    auto sp = speciesnames(9, "qc");
    for (int i = 0; i < 40; i++) genes.push_back(gene(randomgenetext(rng, sp, 3 + rng() % 12)));
  }
  void TearDown() override {
    nniconsprob = oldprob;
    for (auto g : genes) delete g;
  }
  // The same sampling written out: one draw per gene tree of more than 4 leaves.
  ClustersCollection sample(double prob) {
    ClustersCollection cc;
    for (auto g : genes)
      if (g->leaves > 4 && prob * 100 > rand() % 100) cc.add(g);
    return cc;
  }
};

}  // namespace

TEST_F(QuasiConsensus, AcceptedClustersAreCladesAndEverySpeciesOnce) {
  nniconsprob = 1;
  ClustersCollection all;
  for (auto g : genes)
    if (g->leaves > 4) all.add(g);
  std::vector<std::set<short>> accepted = all.chosenclusters();
  ASSERT_GT(accepted.size(), 2u);
  for (int seed = 1; seed <= 20; seed++) {
    srand(seed);
    std::unique_ptr<RootedTree> t(genconsensustree(genes));
    ASSERT_TRUE(t);
    expectallspecies(*t);
    std::set<Names> cl = clades(*t);
    for (auto& c : accepted) EXPECT_TRUE(cl.count(names(c))) << printed(*t);
  }
}

// The draws come in the fixed order: sampling first, then the joins.
TEST_F(QuasiConsensus, DrawsInTheFixedOrder) {
  for (double prob : {0.0, 0.2, 0.255, 0.5, 1.0, 1.5}) {
    nniconsprob = prob;
    for (int seed = 1; seed <= 5; seed++) {
      srand(seed);
      std::unique_ptr<RootedTree> t(genconsensustree(genes));
      int next = rand();
      srand(seed);
      ClustersCollection cc = sample(prob);
      std::unique_ptr<RootedTree> u(cc.genclusters());
      EXPECT_EQ(printed(*t), printed(*u)) << prob;
      EXPECT_EQ(next, rand()) << prob;
    }
  }
  // No cluster at all: the tree is the random joining of every species in id order.
  nniconsprob = 0;
  srand(9);
  std::unique_ptr<RootedTree> t(genconsensustree(genes));
  srand(9);
  for (auto g : genes)
    if (g->leaves > 4) rand();
  std::vector<short> ids(specnames.size());
  for (size_t i = 0; i < ids.size(); i++) ids[i] = static_cast<short>(i);
  EXPECT_EQ(printed(*t), genrandomtree(ids.data(), static_cast<int>(ids.size())));
}

TEST_F(QuasiConsensus, SmallGeneTreesDrawNothing) {
  std::vector<UnrootedTree*> small = {gene("(qsa,qsb,qsc)"), gene("((qsa,qsb),(qsc,qsd))")};
  nniconsprob = 1;
  srand(4);
  std::unique_ptr<RootedTree> t(genconsensustree(small));
  srand(4);
  std::vector<short> ids(specnames.size());
  for (size_t i = 0; i < ids.size(); i++) ids[i] = static_cast<short>(i);
  EXPECT_EQ(printed(*t), genrandomtree(ids.data(), static_cast<int>(ids.size())));
  for (auto g : small) delete g;
}

TEST_F(QuasiConsensus, MoreFrequentOfTwoClashingClustersWins) {
  std::unique_ptr<UnrootedTree> g(gene("(qxa,qxb,qxc)"));
  short a = static_cast<short>(specnames2id["qxa"]), b = static_cast<short>(specnames2id["qxb"]),
        c = static_cast<short>(specnames2id["qxc"]);
  for (int k = 0; k < 20; k++) {
    ClustersCollection cc;
    cc.insert({a, b}, 3);
    cc.insert({b, c}, 2);
    std::unique_ptr<RootedTree> t(cc.genclusters());
    expectallspecies(*t);
    EXPECT_TRUE(clades(*t).count({"qxa", "qxb"})) << printed(*t);
  }
}

TEST_F(QuasiConsensus, ClusterOfOnePartReportsAndGivesNoTree) {
  ClustersCollection cc;
  cc.insert({0}, 5);  // never counted from a gene tree; only a set given whole gets here
  testing::internal::CaptureStderr();
  RootedTree* t = cc.genclusters();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "At least two subsets in genclusters expected...");
  EXPECT_EQ(t, nullptr);
}

TEST(InitialTrees, NoTreeWithoutSpecies) {
  auto run = [] {
    specnames.clear();  // this process only
    specnames2id.clear();
    std::vector<UnrootedTree*> none;
    kelvoraexit(genconsensustree(none) == nullptr && randspeciestree() == nullptr ? 0 : 1);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
}

TEST(InitialTrees, SpeciesNameWithoutALetterIsRefused) {
  auto run = [] {
    registerspecies("itfine");
    registerspecies("9606");
    randspeciestree();
    kelvoraexit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(255),
              "Cannot build a species tree over the species \"9606\": a species-tree leaf label "
              "needs a letter");
  auto cons = [] {
    registerspecies("9606");
    std::vector<UnrootedTree*> none;
    genconsensustree(none);
    kelvoraexit(0);
  };
  EXPECT_EXIT(cons(), testing::ExitedWithCode(255), "\"9606\": a species-tree leaf label");
}

// Names of any characters (--newick, --map) are quoted in the generated text, and read back.
TEST(InitialTrees, SpeciesNamesOfAnyCharactersWithNewick) {
  auto run = [] {
    specnames.clear();  // this process only
    specnames2id.clear();
    anyspeciesnames = true;
    for (const char* s : {"9606", "it's", "Homo sapiens", "HUMAN|x", "(a,b)"}) registerspecies(s);
    std::unique_ptr<RootedTree> t(randspeciestree());
    std::vector<UnrootedTree*> none;
    std::unique_ptr<RootedTree> c(genconsensustree(none));
    std::vector<std::string> names;
    for (int v = 0; v < t->leaves; v++) names.push_back(specnames[t->lab[v]]);
    std::sort(names.begin(), names.end());
    bool same = names == std::vector<std::string>{"(a,b)", "9606", "HUMAN|x", "Homo sapiens", "it's"};
    kelvoraexit(same && c && c->leaves == 5 && specnames.size() == 5 ? 0 : 1);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
}
