#include "search/bootstrapclades.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "io/newick.h"
#include "search/nnisupport.h"
#include "tests/search/searchcheck.h"
#include "trees/species.h"

using namespace searchcheck;

namespace {

using NameSet = std::set<std::string>;

// The clades of S by species name, from scratch: each internal node below the root.
void slowclades(const RootedTree& S, short v, std::vector<NameSet>& out, NameSet& here) {
  if (v < S.leaves) {
    here.insert(specnames[S.lab[v]]);
    return;
  }
  NameSet mine;
  slowclades(S, S.son[v - S.leaves], out, mine);
  slowclades(S, S.son[v], out, mine);
  if (v != S.root) out.push_back(mine);
  here.insert(mine.begin(), mine.end());
}

// Reads a Newick text of any degree with labels after ')': each inner node's leaf names and
// label, the root's left out.
size_t readclades(const std::string& t, size_t i, NameSet& here,
                  std::map<NameSet, std::string>& out, bool root) {
  if (t[i] != '(') {
    size_t j = i;
    while (t[j] != ',' && t[j] != ')' && t[j] != ';') j++;
    here.insert(t.substr(i, j - i));
    return j;
  }
  NameSet mine;
  i++;
  for (;;) {
    i = readclades(t, i, mine, out, false);
    if (t[i++] == ')') break;
  }
  size_t j = i;
  while (t[j] != ',' && t[j] != ')' && t[j] != ';') j++;
  if (!root) out[mine] = t.substr(i, j - i);
  here.insert(mine.begin(), mine.end());
  return j;
}

}  // namespace

// Shares and the majority-rule consensus against counts of name sets made from scratch, on
// random trees over up to 150 species (clades of several 64-bit words).
TEST(BootstrapClades, SharesAndConsensusMatchCountsFromScratch) {
  std::mt19937 rng(12);
  for (int round = 0; round < 30; round++) {
    const int n = 3 + static_cast<int>(rng() % 150);
    const std::vector<std::string> names = speciesnames(n, "bc");
    // Few distinct shapes, so that some clades reach a majority and some do not.
    SpeciesTrees shapes = randomspecies(rng, names, 1 + static_cast<int>(rng() % 4));
    std::vector<RootedTree*> trees;
    for (int k = 0; k < 1 + static_cast<int>(rng() % 9); k++)
      trees.push_back(shapes.v[rng() % shapes.v.size()]);
    CladeCounts counts(specnames.size());
    std::map<NameSet, long> slow;
    for (RootedTree* S : trees) {
      counts.add(postorderof(*S));
      std::vector<NameSet> c;
      NameSet all;
      slowclades(*S, S->root, c, all);
      for (const NameSet& x : c) slow[x]++;
    }
    ASSERT_EQ(counts.trees(), static_cast<long>(trees.size()));
    const long m = static_cast<long>(trees.size());
    for (RootedTree* S : shapes.v) {
      std::vector<Clade> fast = nodeclades(*S, specnames.size());
      std::vector<NameSet> c;
      NameSet all;
      slowclades(*S, S->root, c, all);
      // slowclades lists the clades in postorder; match them by node through the fast ones.
      for (short v = static_cast<short>(S->leaves); v < S->total; v++) {
        if (v == S->root) continue;
        NameSet mine;
        std::vector<NameSet> ignored;
        slowclades(*S, v, ignored, mine);
        EXPECT_DOUBLE_EQ(counts.share(fast[v]), 100.0 * slow[mine] / m);
      }
    }
    std::map<NameSet, std::string> got;
    NameSet leaves;
    const std::string text = counts.consensus();
    ASSERT_EQ(text.substr(text.size() - 2), ";\n");
    readclades(text, 0, leaves, got, true);
    EXPECT_EQ(leaves.size(), static_cast<size_t>(n));
    std::map<NameSet, std::string> want;
    for (const auto& kv : slow)
      if (2 * kv.second > m && kv.first.size() < static_cast<size_t>(n))
        want[kv.first] = supporttext(100.0 * kv.second / m);
    EXPECT_EQ(got, want) << text;
  }
}

TEST(BootstrapClades, PostorderTextIsTheTreeAsPrinted) {
  std::mt19937 rng(5);
  for (int n : {2, 3, 40}) {
    auto S = species(randomrootedtext(rng, speciesnames(n, "pt")));
    EXPECT_EQ(postordertext(postorderof(*S)), treetext(*S) + ";\n");
  }
}
