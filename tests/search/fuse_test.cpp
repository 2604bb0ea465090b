#include "search/fuse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "store/treerepr.h"
#include "tests/randomtrees.h"
#include "tests/search/searchcheck.h"

using namespace searchcheck;

namespace {

using Clade = std::vector<short>;  // sorted species ids
using Clades = std::set<Clade>;

Clades clades(RootedTree& S) {
  Clades out;
  std::function<Clade(short)> below = [&](short v) {
    if (v < S.leaves) return Clade{S.lab[v]};
    Clade l = below(S.son[v - S.leaves]), r = below(S.son[v]);
    l.insert(l.end(), r.begin(), r.end());
    std::sort(l.begin(), l.end());
    out.insert(l);
    return l;
  };
  below(S.root);
  return out;
}

bool inside(const Clade& c, const Clade& x) {
  return c.size() < x.size() && std::includes(x.begin(), x.end(), c.begin(), c.end());
}

// A random tree a over names and a tree b that shares its clades except where a random
// clade was resolved anew, as local optima of one search are.
void twins(std::mt19937& rng, std::vector<std::string> names, std::string& a, std::string& b) {
  if (names.size() == 1) {
    a = b = names[0];
    return;
  }
  std::shuffle(names.begin(), names.end(), rng);
  const size_t k = 1 + rng() % (names.size() - 1);
  std::string al, bl, ar, br;
  twins(rng, {names.begin(), names.begin() + k}, al, bl);
  twins(rng, {names.begin() + k, names.end()}, ar, br);
  a = "(" + al + "," + ar + ")";
  b = rng() % 4 == 0 ? randomrootedtext(rng, names) : "(" + bl + "," + br + ")";
}

}  // namespace

// On pairs of trees over the same species, each candidate is a tree (it rebuilds to its own
// canonical encoding) holding the first tree's clades except inside one shared clade X, where
// it holds the second's. Every such tree comes once, for the smallest X first, and two equal
// trees give none.
TEST(Fuse, CandidatesExchangeOneSharedClade) {
  std::mt19937 rng(3);
  int candidates = 0;
  for (int inst = 0; inst < 400; inst++) {
    auto names = speciesnames(2 + inst % 14, "f" + std::to_string(inst % 14) + "_");
    std::string at, bt;
    twins(rng, names, at, bt);
    if (inst % 5 == 0) bt = randomrootedtext(rng, names);
    if (inst % 7 == 0) bt = at;
    auto A = species(at), B = species(bt);
    const Clades ca = clades(*A), cb = clades(*B);

    // Every tree fusing can make, with the size of the smallest clade that makes it.
    std::map<Clades, size_t> expected;
    for (const Clade& x : ca) {
      if (!cb.count(x)) continue;
      Clades got, inb;
      for (const Clade& c : ca)
        if (!inside(c, x)) got.insert(c);
      for (const Clade& c : cb)
        if (inside(c, x)) got.insert(c);
      if (got == ca) continue;
      if (!expected.count(got)) expected[got] = x.size();
      expected[got] = std::min(expected[got], x.size());
    }

    std::vector<short> ea(A->reprlen()), eb(B->reprlen());
    A->repr(ea.data());
    B->repr(eb.data());
    auto cands = fusecandidates(ea, eb);
    ASSERT_EQ(cands.size(), expected.size()) << at << " " << bt;
    size_t previous = 0;
    std::set<Clades> met;
    for (std::vector<short>& c : cands) {
      auto T = species(at);
      TreeRepr r(c.data(), static_cast<int>(c.size()), 0);
      T->replace(&r);
      std::vector<short> again(T->reprlen());
      T->repr(again.data());
      EXPECT_EQ(again, c) << at << " " << bt;
      const Clades ct = clades(*T);
      ASSERT_TRUE(expected.count(ct)) << at << " " << bt;
      EXPECT_TRUE(met.insert(ct).second);
      EXPECT_GE(expected[ct], previous);
      previous = expected[ct];
    }
    candidates += static_cast<int>(cands.size());
  }
  EXPECT_GT(candidates, 200);
}
