#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/randomtrees.h"
#include "tests/reconcile/othercosts.h"
#include "tests/reconcile/prepare.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

const int codes[] = {0, 1, 2, 10, 20, 22, 23, 30, 100};

std::string report(UnrootedTree& G, RootedTree& S, int code, int ladder) {
  std::ostringstream out;
  G.pf(out, S, code, ladder);
  return out.str();
}

long expected(int code, const SlowCosts& c, RootedTree& S, UnrootedTree& G) {
  switch (code) {
    case 1: return c.dup;
    case 2: return c.sp;
    case 10: return c.dc;
    case 20: return c.rf;
    case 22: return S.leaves + G.leaves - 2 * c.rfo - 4;
    case 23: return (c.rf + G.leaves - S.leaves) / 2;
    case 30: return c.loss;
    case 100: return c.loss - c.dup;
    default: return c.dup + c.loss;
  }
}

struct Annotation {
  long cost;
  bool plateau;
  int id;
};

std::vector<Annotation> annotations(const std::string& text) {
  static const std::regex one(" top=-?[0-9]+ cost=(-?[0-9]+)( plateau=1)? id=([0-9]+)");
  std::vector<Annotation> out;
  for (std::sregex_iterator it(text.begin(), text.end(), one), end; it != end; ++it)
    out.push_back({std::stol((*it)[1]), (*it)[2].matched, std::stoi((*it)[3])});
  return out;
}

TEST(RootingReport, SmallestGeneTreePlainAndSpeciations) {
  std::string s = "((ra,rb),rc)", g = "(ra,rb,rc)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  EXPECT_EQ(report(G, S, 0, 0),
            "optimalmin=1\n"
            "(rc top=0 cost=0 plateau=1 id=2,(ra top=-1 cost=4 id=0,rb top=-1 cost=4 id=1) "
            "top=0 cost=0 plateau=1 id=5 terrace=0)\n");
  EXPECT_EQ(report(G, S, 2, 0),
            "optimalmin=0\n"
            "(rc top=0 cost=2 plateau=1 id=2,(ra top=-1 cost=1 id=0,rb top=-1 cost=1 id=1) "
            "top=0 cost=2 plateau=1 id=5 terrace=0)\n");
  // Three leaves have no ladder: the plain form stands in for it.
  EXPECT_EQ(report(G, S, 10, 1), report(G, S, 10, 0));
  EXPECT_EQ(report(G, S, 20, 1).back(), '\n');
}

TEST(RootingReport, LadderUnrollsTheLongestPath) {
  std::string s = "((((la,lb),lc),ld),le)", g = "(((la,lb),lc),ld,le)";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  EXPECT_EQ(report(G, S, 0, 1),
            "optimalmin=1\n"
            "((la top=-1 cost=15 id=0,lb top=-1 cost=15 id=1) top=-1 cost=9 id=7 terrace=0,"
            "(lc top=-1 cost=9 id=2) top=-1 cost=4 id=11 terrace=0,"
            "(ld top=-1 cost=4 id=3,le top=0 cost=0 plateau=1 id=4) top=1 cost=4 id=11 "
            "terrace=0)\n");
}

TEST(RootingReport, EveryCodeScoresRootingsAsCountedFromScratch) {
  std::mt19937 rng(31);
  for (int round = 0; round < 120; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 12, "rr");
    std::string s = randomrootedtext(rng, sp);
    std::vector<std::string> drawn(sp.begin(), sp.begin() + 1 + rng() % sp.size());
    std::string g = randomgenetext(rng, drawn, 3 + rng() % 20);
    RootedTree S(s.data());
    UnrootedTree G(g.data());
    prepare(S, G);
    std::vector<SlowCosts> slow;
    for (short v = 0; v < G.total; v++) slow.push_back(slowcosts(G, v, S));
    for (int code : codes) {
      std::vector<long> want;
      for (short v = 0; v < G.total; v++) want.push_back(expected(code, slow[v], S, G));
      long best = code == 2 ? *std::max_element(want.begin(), want.end())
                            : *std::min_element(want.begin(), want.end());
      for (int ladder : {0, 1}) {
        std::string out = report(G, S, code, ladder);
        std::string what = g + " in " + s + " code " + std::to_string(code);
        ASSERT_EQ(out.substr(0, 13), code == 2 ? "optimalmin=0\n" : "optimalmin=1\n") << what;
        for (short v = 0; v < G.total; v++) {
          ASSERT_EQ(G.rootingcost[v], want[v]) << what << " node " << v;
          ASSERT_EQ(G.rootingcost[v], G.rootingcost[G.parent[v]]) << what;
        }
        std::vector<Annotation> notes = annotations(out);
        // Both forms name every node of one rooting but its root (the ladder names the
        // path's last node twice and its first node not at all).
        ASSERT_EQ(notes.size(), static_cast<size_t>(2 * G.leaves - 2)) << out;
        for (const Annotation& a : notes) {
          ASSERT_EQ(a.cost, want[a.id]) << what << "\n" << out;
          ASSERT_EQ(a.plateau, want[a.id] == best) << what << "\n" << out;
        }
      }
      if (code == 0) {
        DlCost opt = G.dlcost(S, G.findoptimal(S));
        ASSERT_EQ(best, opt.dup + opt.loss) << g << " in " << s;
      }
    }
  }
}

TEST(RootingReport, ASecondReportRepeatsTheFirst) {
  std::string s = "(((ta,tb),tc),(td,te))", g = "((ta,td),(tb,ta),(te,tc))";
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  for (int code : codes)
    for (int ladder : {0, 1}) {
      std::string first = report(G, S, code, ladder);
      report(G, S, (code + 10) % 30, 1 - ladder);
      EXPECT_EQ(report(G, S, code, ladder), first) << code << " " << ladder;
    }
}

TEST(RootingReport, DeepestGeneTree) {
  std::vector<std::string> sp = speciesnames(25, "rd");
  std::mt19937 rng(6);
  std::string s = randomrootedtext(rng, sp);
  std::string g = caterpillargenetext(MAXGENELEAVES, [&](int i) {
    return i == 0 ? sp[0] : i == MAXGENELEAVES - 1 ? sp[3] : sp[rng() % 25];
  });
  RootedTree S(s.data());
  UnrootedTree G(g.data());
  prepare(S, G);
  for (int code : codes) {
    std::string out = report(G, S, code, code % 2);
    ASSERT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    ASSERT_EQ(annotations(out).size(), static_cast<size_t>(2 * G.leaves - 2));
    for (short v : {short(0), short(G.leaves), short(G.total / 2), short(G.total - 1)}) {
      long want = code == 2 ? spcost(G, S, v) : code == 10 ? dccost(G, S, v)
                  : code == 20 ? rfcost(G, S, v) : code == 22 ? S.leaves + G.leaves - 2 * rfocost(G, S, v) - 4
                  : code == 0 ? G.dlcost(S, v).smp() : G.rootingcost[v];
      ASSERT_EQ(G.rootingcost[v], want) << code << " " << v;
    }
  }
}

}  // namespace
