#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "output/eventfiles.h"
#include "output/reconciliation.h"
#include "tests/output/slowoutput.h"
#include "tests/reconcile/slowrecon.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

long sum(const std::vector<long>& v) { return std::accumulate(v.begin(), v.end(), 0L); }

std::string clade(RootedTree& S, short v) {
  std::ostringstream s;
  S.printsubtree(s, v);
  return s.str();
}

// Random species trees with collections of gene trees over some of their species, one
// species alone now and then, so that whole gene trees map to one leaf.
TEST(Events, RandomCollectionsAgainstACountFromScratch) {
  std::mt19937 rng(15);
  for (int round = 0; round < 80; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 14, "ev");
    std::string s = randomrootedtext(rng, sp);
    RootedTree S(s.data());
    std::vector<std::unique_ptr<UnrootedTree>> owned;
    std::vector<UnrootedTree*> gtree;
    for (int k = 1 + rng() % 6; k > 0; k--) {
      std::vector<std::string> drawn(sp.begin(), sp.begin() + 1 + rng() % sp.size());
      std::string g = randomgenetext(rng, drawn, 3 + rng() % 20);
      owned.emplace_back(new UnrootedTree(g.data()));
      gtree.push_back(owned.back().get());
    }
    SpeciesEvents ev = countevents(S, gtree);

    SlowEvents slow;
    DlCost total(0, 0);
    for (UnrootedTree* G : gtree) {
      short r = G->findoptimal(S);
      slowaddevents(slowreconcile(rootingtext(*G, r), S), S, slow);
      total = total + G->dlcost(S, r);
    }
    ASSERT_EQ(ev.dup, slow.dup) << s;
    ASSERT_EQ(ev.loss, slow.loss) << s;
    ASSERT_EQ(ev.lineages, slow.lineages) << s;
    ASSERT_EQ(ev.genetrees, slow.genetrees) << s;
    // The totals of -b -C.
    ASSERT_EQ(sum(ev.dup), total.dup);
    ASSERT_EQ(sum(ev.loss), total.loss);

    // The TSV row of each node, by id and by clade, holds what the NHX says of that clade.
    std::istringstream tsv(eventstsv(S, ev));
    std::string line;
    std::getline(tsv, line);
    ASSERT_EQ(line, "node\tclade\tduplications\tlosses\tlineages\tgenetrees");
    std::map<std::string, std::string> counts;
    for (short v = 0; std::getline(tsv, line); v++) {
      std::istringstream row(line);
      std::string id, text, d, l, c, g;
      row >> id >> text >> d >> l >> c >> g;
      ASSERT_EQ(id, std::to_string(v));
      ASSERT_EQ(text, clade(S, v));
      ASSERT_EQ(d + l + c + g, std::to_string(ev.dup[v]) + std::to_string(ev.loss[v]) +
                                   std::to_string(ev.lineages[v]) +
                                   std::to_string(ev.genetrees[v]));
      counts[text] = d + " " + l + " " + c + " " + g;
    }
    ASSERT_EQ(counts.size(), static_cast<size_t>(S.total));
    std::vector<TextNode> nhx = readnewick(eventsnhx(S, ev));
    ASSERT_EQ(nhx.size(), static_cast<size_t>(S.total));
    for (size_t x = 0; x < nhx.size(); x++) {
      auto& k = nhx[x].keys;
      ASSERT_EQ(counts[plaintext(nhx, static_cast<int>(x))],
                k["DUP"] + " " + k["L"] + " " + k["C"] + " " + k["G"]);
    }
  }
}

TEST(Events, NodeNamesAvoidSpeciesNamesOfTheirForm) {
  std::string s = "((n4,n_),(x,n9))";
  RootedTree S(s.data());
  std::vector<std::string> names = speciesnodenames(S);
  EXPECT_EQ(names[0], "n4");
  EXPECT_EQ(names[S.root], "n_" + std::to_string(S.root));
  std::string t = "((n_4,n),(n__,n5))";
  RootedTree T(t.data());
  EXPECT_EQ(speciesnodenames(T)[T.root], "n__" + std::to_string(T.root));
}

}  // namespace
