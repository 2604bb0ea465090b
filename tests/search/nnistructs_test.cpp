#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <random>
#include <string>

#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

// The recursive definitions, written out plainly, as references for the iterative versions.
short refoutdist(RootedTree& S, short s, const std::vector<short>& dc,
                 const std::vector<short>& sc, std::vector<short>& out) {
  if (s < S.leaves) return out[s] = static_cast<short>(sc[s] - dc[s]);
  int sum = refoutdist(S, S.son[s - S.leaves], dc, sc, out) + refoutdist(S, S.son[s], dc, sc, out) -
            sc[s] - dc[s];
  return out[s] = static_cast<short>(std::max(0, sum));
}

short refoutdlcost(RootedTree& S, short s, const std::vector<short>& dc,
                   const std::vector<short>& sc, DlCost& cost) {
  cost.dup += dc[s];
  if (s < S.leaves) return static_cast<short>(sc[s] - dc[s]);
  short b = refoutdlcost(S, S.son[s - S.leaves], dc, sc, cost);
  short c = refoutdlcost(S, S.son[s], dc, sc, cost);
  cost.loss += b + c - 2 * sc[s];
  return static_cast<short>(b + c - sc[s] - dc[s]);
}

void comparerecursions(RootedTree& S, std::mt19937& rng, int maxcount) {
  std::vector<short> dc(S.total), sc(S.total), out(S.total), ref(S.total);
  for (int v = 0; v < S.total; v++) {
    dc[v] = static_cast<short>(rng() % (maxcount + 1));
    sc[v] = static_cast<short>(rng() % (maxcount + 1));
  }
  for (short s : {S.root, S.son[S.root], S.son[S.root - S.leaves], short(0)}) {
    EXPECT_EQ(S._outdistribution(s, dc.data(), sc.data(), out.data()), refoutdist(S, s, dc, sc, ref));
    EXPECT_EQ(out, ref);
    DlCost got(1, 2), want(1, 2);
    EXPECT_EQ(S._outdlcost(s, dc.data(), sc.data(), got), refoutdlcost(S, s, dc, sc, want));
    EXPECT_TRUE(same(got, want)) << got << " " << want;
  }
}

}  // namespace

TEST(NniStructs, IterativeWalksMatchTheRecursiveDefinitions) {
  std::mt19937 rng(3);
  for (int i = 0; i < 200; i++) {
    auto S = species(randomrootedtext(rng, speciesnames(2 + rng() % 30, "ow")));
    comparerecursions(*S, rng, 1 + i % 4);
  }
  // The deepest species tree allowed: a 15000-leaf caterpillar.
  std::string text(MAXLEAVES - 1, '(');
  text += "ow0";
  for (int i = 1; i < MAXLEAVES; i++) text += ",ow" + std::to_string(i % 10) + ")";  // few species
  auto S = species(text);
  comparerecursions(*S, rng, 1);
}

TEST(NniStructs, OneSpeciesGeneTree) {
  auto S = species("((oa,ob),oc)");
  Genes genes;
  genes.add("((oa,oa),(oa,(oa,oa)))");
  DlTotal total = S->initGTS(genes.v, 1);
  short leaf = S->findlab(S->lab[0]);
  ASSERT_EQ(treetext(*S), "((oa,ob),oc)");
  EXPECT_EQ(genes.v[0]->rootmap, leaf);
  EXPECT_TRUE(same(total, DlCost(4, 0)));
  EXPECT_EQ(S->mout[0][leaf], -4);  // 6 - 2 * 5 leaves
  Lists l = lists(*S, 0, *genes.v[0]);
  std::vector<short> dc, sc;
  counts(l, dc, sc);
  DlCost cost(9, 9);
  S->outdlcost(leaf, dc.data(), sc.data(), cost, 5);
  EXPECT_TRUE(same(cost, DlCost(4, 0)));
  checkall(*S, genes, total, "one species");
}

TEST(NniStructs, ThreeLeafGeneTreeOnTheMatchingSpeciesTree) {
  auto S = species("((a,b),c)");
  Genes genes;
  genes.add("(a,b,c)");
  DlTotal total = S->initGTS(genes.v, 1);
  EXPECT_TRUE(same(total, DlCost(0, 0)));
  Lists l = lists(*S, 0, *genes.v[0]);
  // Leaves 0..2 are a, b, c; node 3 is (a,b) and 4 the root.
  std::vector<size_t> speciations, dup;
  for (int s = 0; s < S->total; s++) {
    speciations.push_back(l.speciations[s].size());
    dup.push_back(l.dup[s].size());
  }
  EXPECT_EQ(speciations, (std::vector<size_t>{1, 1, 1, 1, 2}));
  EXPECT_EQ(dup, (std::vector<size_t>{0, 0, 0, 0, 0}));
  std::vector<short> dc, sc;
  counts(l, dc, sc);
  DlCost cost(9, 9);
  S->outdlcost(S->root, dc.data(), sc.data(), cost, 3);
  EXPECT_TRUE(same(cost, DlCost(0, 0)));
}

TEST(NniStructs, UnmappedSpeciesNode) {
  auto S = species("((od,oe),(of,og))");
  Genes genes;
  genes.add("(od,oe,of)");
  S->initGTS(genes.v, 1);
  short g = S->findlab(S->lab[3]);
  ASSERT_EQ(treetext(*S), "((od,oe),(of,og))");
  EXPECT_EQ(S->mdup[0][g], -1);
  EXPECT_EQ(S->mspec[0][g], -1);
  EXPECT_EQ(S->mout[0][g], 0);
}

TEST(NniStructs, PreparingAgainGivesTheSameStructures) {
  std::mt19937 rng(8);
  for (int i = 0; i < 20; i++) {
    auto names = speciesnames(3 + rng() % 8, "op");
    auto S = species(randomrootedtext(rng, names));
    Genes genes = randomgenes(rng, names, 1 + rng() % 5, 20);
    DlTotal first = S->initGTS(genes.v, 1);
    unsigned char* mark = S->nnimark;
    short** rows = S->mdup;
    checkall(*S, genes, first, "first");
    Snapshot s1 = snapshot(*S, genes);
    for (int again = 0; again < 2; again++) {
      DlTotal total = S->initGTS(genes.v, 0);
      EXPECT_TRUE(same(total, first));
      EXPECT_TRUE(snapshot(*S, genes) == s1);
    }
    // Nothing is allocated again for the same gene trees.
    EXPECT_EQ(S->nnimark, mark);
    EXPECT_EQ(S->mdup, rows);
  }
}

// A first preparation of a tree object that was prepared and moved before, or a preparation
// with another gene-tree collection, still describes the current shape.
TEST(NniStructs, PreparingAMovedTreeOrOtherGenes) {
  auto S = species("(((oa,ob),oc),(od,oe))");
  Genes genes;
  genes.add("((oa,oc),(ob,od),oe)");
  genes.add("((oa,oa),(oc,ob))");
  S->initGTS(genes.v, 1);
  DlTotal delta;
  int info = 0;
  std::string text;
  ASSERT_EQ(S->nni(S->root, 1, genes.v, delta, info, text), 1);
  checkall(*S, genes, S->initGTS(genes.v, 1), "prepared again after a move");
  genes.add("(oe,od,(oa,oa))");
  checkall(*S, genes, S->initGTS(genes.v, 0), "three gene trees");
  Genes fewer;
  fewer.add("(ob,oc,od)");
  checkall(*S, fewer, S->initGTS(fewer.v, 0), "one gene tree");
}

TEST(NniStructs, NoGeneTrees) {
  auto S = species("((oq,or),os)");
  std::vector<UnrootedTree*> none;
  EXPECT_TRUE(same(S->initGTS(none, 1), DlCost(0, 0)));
  EXPECT_EQ(S->nnimarksize, 0);
  DlTotal delta(5, 5);
  int info = 0;
  std::string text;
  EXPECT_EQ(S->nni(S->root, 1, none, delta, info, text), 1);
  EXPECT_TRUE(same(delta, DlCost(0, 0)));
}

// The pair from the counts is the component-wise minimum over all rootings, reached by one.
TEST(NniStructs, OutdlcostIsTheMinimumOverAllRootings) {
  std::mt19937 rng(21);
  for (int i = 0; i < 100; i++) {
    auto names = speciesnames(2 + rng() % 9, "om");
    auto S = species(randomrootedtext(rng, names));
    Genes genes = randomgenes(rng, names, 4, 25);
    S->initGTS(genes.v, 1);
    for (size_t gi = 0; gi < genes.v.size(); gi++) {
      UnrootedTree& g = *genes.v[gi];
      int mindup = INT_MAX, minloss = INT_MAX;
      for (short v = 0; v < g.total; v++) {
        DlCost c = g.dlcost(*S, v);
        mindup = std::min(mindup, c.dup);
        minloss = std::min(minloss, c.loss);
      }
      bool reached = false;
      for (short v = 0; v < g.total; v++) {
        DlCost c = g.dlcost(*S, v);
        reached = reached || (c.dup == mindup && c.loss == minloss);
      }
      EXPECT_TRUE(reached);
      std::vector<short> dc, sc;
      counts(lists(*S, static_cast<int>(gi), g), dc, sc);
      DlCost cost(0, 0);
      S->outdlcost(g.rootmap, dc.data(), sc.data(), cost, static_cast<short>(g.leaves));
      EXPECT_TRUE(same(cost, DlCost(mindup, minloss))) << genes.texts[gi] << " " << cost;
    }
  }
}

// mout counts the maximal gene subtrees whose leaves all lie below the species node.
TEST(NniStructs, OutCountsMaximalSubtreesBelowEachNode) {
  std::mt19937 rng(4);
  for (int i = 0; i < 100; i++) {
    auto names = speciesnames(3 + rng() % 8, "oo");
    auto S = species(randomrootedtext(rng, names));
    Genes genes = randomgenes(rng, names, 3, 20);
    S->initGTS(genes.v, 1);
    for (size_t gi = 0; gi < genes.v.size(); gi++) {
      UnrootedTree& g = *genes.v[gi];
      std::vector<short> map = slowmapping(*S, g);
      for (short s = 0; s < S->total; s++) {
        auto below = [&](short v) { return S->isparent(s, map[v], -1) == 1; };
        if (below(static_cast<short>(g.total))) continue;  // whole tree below
        int count = 0;
        for (short v = 0; v < g.total; v++) {
          if (!below(v)) continue;
          short u = g.parent[v];
          bool maximal = true;
          if (u >= g.leaves) {
            int j = (u - g.leaves) % 3;
            for (int k = 0; k < 2; k++)
              if (below(static_cast<short>(u + offset[2 * j + k]))) maximal = false;
          }
          count += maximal;
        }
        EXPECT_EQ(S->mout[gi][s], count) << genes.texts[gi] << " node " << s;
      }
    }
  }
}
