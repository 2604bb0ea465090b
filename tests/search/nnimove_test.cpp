#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

struct Moved {
  RootedTree& S;
  Genes& genes;
  DlTotal total;
  int moves = 0;

  // One call of nni, every structure checked against the reconciliation from scratch.
  int move(short a, int variant) {
    const int n = S.leaves;
    short c = variant == 0 ? S.son[a] : S.son[a - n];
    std::vector<Lists> before;
    for (size_t gi = 0; gi < genes.v.size(); gi++)
      before.push_back(lists(S, static_cast<int>(gi), *genes.v[gi]));
    DlTotal delta(77, -77);
    int info = 5;
    std::string text = "t";
    int r = S.nni(a, variant, genes.v, delta, info, text);
    EXPECT_EQ(info, 5);
    EXPECT_EQ(text, "t");
    if (!r) {
      EXPECT_LT(c, n);
      EXPECT_TRUE(same(delta, DlCost(77, -77)));
      return 0;
    }
    moves++;
    total = total + delta;
    std::string where = "move " + std::to_string(a) + "/" + std::to_string(variant);
    checkall(S, genes, total, where);
    for (size_t gi = 0; gi < genes.v.size(); gi++) {
      Lists after = lists(S, static_cast<int>(gi), *genes.v[gi]);
      for (int s = 0; s < S.total; s++) {
        if (s == a || s == c) continue;
        EXPECT_EQ(after.dup[s], before[gi].dup[s]) << where << " node " << s;
        EXPECT_EQ(after.speciations[s], before[gi].speciations[s]) << where << " node " << s;
      }
    }
    return 1;
  }
};

// Every node and variant, three calls each, from several random shapes of each instance.
void explore(RootedTree& S, Genes& genes, std::mt19937& rng, int rounds, int& moves) {
  DlTotal total = S.initGTS(genes.v, 1);
  checkall(S, genes, total, "prepared");
  Moved m{S, genes, total};
  for (int round = 0; round < rounds; round++) {
    for (short a = static_cast<short>(S.leaves); a < S.total; a++) {
      for (int variant = 0; variant < 2; variant++) {
        Snapshot start = snapshot(S, genes);
        DlTotal starttotal = m.total;
        int done = 0;
        for (int k = 0; k < 3; k++) done += m.move(a, variant);
        if (::testing::Test::HasFailure()) return;
        EXPECT_TRUE(done == 0 || done == 3);
        EXPECT_TRUE(snapshot(S, genes) == start) << "node " << a << " variant " << variant;
        EXPECT_TRUE(same(m.total, starttotal));
      }
    }
    // A random walk of a few moves to the next shape.
    for (int i = 0; i < 3; i++)
      m.move(static_cast<short>(S.leaves + rng() % (S.total - S.leaves)), rng() % 2);
  }
  moves += m.moves;
}

}  // namespace

TEST(NniMove, IncrementalCostEqualsFreshReconciliationAfterEveryMove) {
  std::mt19937 rng(11);
  int moves = 0;
  for (int inst = 0; inst < 200 && !HasFailure(); inst++) {
    auto names = speciesnames(3 + rng() % 10, "nm");
    auto S = species(randomrootedtext(rng, names));
    Genes genes = randomgenes(rng, names, 1 + rng() % 6, 4 + rng() % 25);
    SCOPED_TRACE("species tree " + treetext(*S));
    explore(*S, genes, rng, 3, moves);
  }
  EXPECT_GT(moves, 8000);
}

TEST(NniMove, LargeMultiCopyGeneTrees) {
  std::mt19937 rng(5);
  int moves = 0;
  for (int inst = 0; inst < 6 && !HasFailure(); inst++) {
    auto names = speciesnames(6 + rng() % 20, "nl");
    auto S = species(randomrootedtext(rng, names));
    Genes genes = randomgenes(rng, names, 3, 120);
    SCOPED_TRACE("species tree " + treetext(*S));
    explore(*S, genes, rng, 1, moves);
  }
}

TEST(NniMove, LeafChildDeclines) {
  auto S = species("((nx,ny),nz)");
  Genes genes;
  genes.add("(nx,ny,nz)");
  DlTotal total = S->initGTS(genes.v, 1);
  Snapshot start = snapshot(*S, genes);
  DlTotal delta(3, 4);
  int info = 0;
  std::string text;
  short root = S->root;
  // Variant 1 takes the first child (the cherry), variant 0 the second (leaf nz).
  EXPECT_EQ(S->nni(root, 0, genes.v, delta, info, text), 0);
  EXPECT_TRUE(same(delta, DlCost(3, 4)));
  EXPECT_TRUE(snapshot(*S, genes) == start);
  EXPECT_EQ(S->nni(root, 1, genes.v, delta, info, text), 1);
  checkall(*S, genes, total + delta, "after the move");
}

// A gene tree that maps below the move, or beside it, or above it without nodes at a or c.
TEST(NniMove, GeneTreesAwayFromTheEdge) {
  auto S = species("(((pa,pb),(pc,pd)),pe)");
  Genes genes;
  genes.add("(pa,pb,pa)");          // inside z = (pa,pb)
  genes.add("(pd,pd,pd)");          // inside y = pd
  genes.add("((pa,pe),(pa,pe))");   // at the root, no node at a or c
  DlTotal total = S->initGTS(genes.v, 1);
  short a = S->son[S->root - S->leaves];  // ((pa,pb),(pc,pd))
  short c = S->son[a];                    // (pc,pd): variant 0
  ASSERT_EQ(treetext(*S), "(((pa,pb),(pc,pd)),pe)");
  Snapshot start = snapshot(*S, genes);
  DlTotal delta(0, 0);
  int info = 0;
  std::string text;
  // The third tree gains mout[z] - mout[y] = 2 - 0 losses: its two pa leaves sink one level.
  int expect = S->mout[2][S->son[a - S->leaves]] - S->mout[2][S->son[c]];
  EXPECT_EQ(expect, 2);
  ASSERT_EQ(S->nni(a, 0, genes.v, delta, info, text), 1);
  EXPECT_TRUE(same(delta, DlCost(0, expect)));
  EXPECT_TRUE(same(genes.v[0]->curcost, start.curcost[0]));
  EXPECT_TRUE(same(genes.v[1]->curcost, start.curcost[1]));
  checkall(*S, genes, total + delta, "after the move");
}

// With the whole gene tree mapped to c, its nodes there move to a and its cost is recomputed.
TEST(NniMove, GeneTreeMappedToTheLowerNode) {
  auto S = species("(((qa,qb),qc),qd)");
  Genes genes;
  genes.add("((qa,qb),(qa,qb))");
  DlTotal total = S->initGTS(genes.v, 1);
  short a = S->son[S->root - S->leaves];  // ((qa,qb),qc)
  short c = S->son[a - S->leaves];        // (qa,qb): variant 1
  ASSERT_EQ(genes.v[0]->rootmap, c);
  DlTotal delta(0, 0);
  int info = 0;
  std::string text;
  ASSERT_EQ(S->nni(a, 1, genes.v, delta, info, text), 1);
  EXPECT_EQ(genes.v[0]->rootmap, a);
  EXPECT_EQ(treetext(*S), "(((qc,qa),qb),qd)");  // c = (z, x) keeps its slot
  checkall(*S, genes, total + delta, "after the move");
}

// The move walks the nodes mapped to the upper node by recursion over the gene tree: a
// caterpillar of the largest gene size keeps the whole chain there.
TEST(NniMove, DeepGeneTreeChain) {
  auto S = species("((ra,rb),rc)");
  std::string text = "rc";
  for (int i = 1; i < MAXGENELEAVES; i++) text = "(" + text + "," + (i % 2 ? "ra" : "rc") + ")";
  Genes genes;
  genes.add(text);
  Moved m{*S, genes, S->initGTS(genes.v, 1)};
  for (int k = 0; k < 3; k++) m.move(S->root, 1);
  EXPECT_EQ(m.moves, 3);
}
