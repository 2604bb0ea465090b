#include "reconcile/polytomy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "io/newick.h"
#include "reconcile/dlcost.h"
#include "tests/randomtrees.h"
#include "tests/reconcile/prepare.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// A tree text as nested nodes; leaves numbered in text order.
struct Node {
  std::string label;
  int leaf = -1;
  std::vector<Node> kids;
};

Node parse(const std::string& t, size_t& p, int& leaves) {
  Node n;
  if (t[p] == '(') {
    do {
      p++;
      n.kids.push_back(parse(t, p, leaves));
    } while (t[p] == ',');
    p++;  // ')'
    return n;
  }
  size_t q = t.find_first_of(",)", p);
  n.label = t.substr(p, q - p);
  n.leaf = leaves++;
  p = q;
  return n;
}

// Every rooted binary tree over the items, item 0 always on the left of the top split.
std::vector<std::string> allrooted(const std::vector<std::string>& items) {
  if (items.size() == 1) return items;
  std::vector<std::string> out;
  const size_t k = items.size();
  for (uint32_t mask = 1; mask < (1u << k) - 1; mask++) {
    if (!(mask & 1)) continue;
    std::vector<std::string> a, b;
    for (size_t i = 0; i < k; i++) (mask >> i & 1 ? a : b).push_back(items[i]);
    for (const std::string& x : allrooted(a))
      for (const std::string& y : allrooted(b)) out.push_back("(" + x + "," + y + ")");
  }
  return out;
}

// Every binary resolution of the subtree of n as text; at the top, unrooted ones.
std::vector<std::string> resolutions(const Node& n, bool top) {
  if (n.leaf >= 0) return {n.label};
  // Every combination of the children's resolutions.
  std::vector<std::vector<std::string>> combos{{}};
  for (const Node& c : n.kids) {
    std::vector<std::vector<std::string>> next;
    for (const auto& combo : combos)
      for (const std::string& r : resolutions(c, false)) {
        next.push_back(combo);
        next.back().push_back(r);
      }
    combos = next;
  }
  std::vector<std::string> out;
  for (const auto& items : combos) {
    if (top && items.size() <= 3) {
      std::string s = "(" + items[0];
      for (size_t i = 1; i < items.size(); i++) s += "," + items[i];
      out.push_back(s + ")");
    } else if (top) {
      std::vector<std::string> rest(items.begin(), items.end() - 1);
      for (const std::string& r : allrooted(rest)) out.push_back("(" + r + "," + items.back() + ")");
    } else {
      for (const std::string& r : allrooted(items)) out.push_back(r);
    }
  }
  return out;
}

// Leaf sets below the nodes, as masks not holding leaf 0.
uint32_t _splits(const Node& n, std::set<uint32_t>& out, uint32_t all) {
  if (n.leaf >= 0) return 1u << n.leaf;
  uint32_t m = 0;
  for (const Node& c : n.kids) m |= _splits(c, out, all);
  if (m != all) out.insert(m & 1 ? all ^ m : m);
  return m;
}

uint32_t below(UnrootedTree& G, short v) {
  if (v < G.leaves) return 1u << v;
  short a, b;
  G.getchildren(v, a, b);
  return below(G, a) | below(G, b);
}

double weighted(const SlowCosts& c) { return c.dup * weight_dup + c.loss * weight_loss; }

class Polytomy : public testing::Test {
 protected:
  void TearDown() override {
    weight_dup = 1.0;
    weight_loss = 1.0;
  }
};

// On many small trees with nodes of up to five children, the least cost over every binary
// resolution and every rooting, each reconciled from scratch, is the cost the resolution
// returns and the cost of the tree it writes at its optimal rooting; that tree refines the
// one read (keeps every split of it), and every weighting is minimised, not just 1 and 1.
TEST_F(Polytomy, LeastCostOverEveryResolutionAndRooting) {
  std::mt19937 rng(20);
  const double weights[][2] = {{1, 1}, {2, 1}, {1, 3}, {0.5, 1.5}, {1, 0}};
  int resolved = 0;
  for (int round = 0; round < 400; round++) {
    weight_dup = weights[round % 5][0];
    weight_loss = weights[round % 5][1];
    std::vector<std::string> sp = speciesnames(2 + rng() % 6, "y");
    std::string s = randomrootedtext(rng, sp);
    if (rng() % 4 == 0) sp.resize(1 + rng() % 2);  // few species, many copies
    std::string g = randompolygenetext(rng, sp, 3 + rng() % 6, 4);
    SCOPED_TRACE(s + " " + g);
    RootedTree S(s.data());
    S.setdepth(-1, 0);
    size_t p = 0;
    int n = 0;
    Node top = parse(g, p, n);
    double brute = INFINITY;
    for (std::string r : resolutions(top, true)) {
      UnrootedTree B(r.data());
      prepare(S, B);
      for (short v = 0; v < B.total; v++) brute = std::min(brute, weighted(slowcosts(B, v, S)));
    }
    std::unique_ptr<UnrootedTree> G(newickgenetree(g.data()));
    const MultiGeneTree* M = multiformof(G.get());
    if (M) {
      S.initlca();
      EXPECT_NEAR(resolvemultiform(*M, S, *G), brute, 1e-9);
      resolved++;
    }
    prepare(S, *G);
    EXPECT_NEAR(G->dlcost(S, G->findoptimal(S)).mut(), brute, 1e-9);
    std::set<uint32_t> want, got;
    const uint32_t all = (1u << n) - 1;
    _splits(top, want, all);
    for (short v = 0; v < G->total; v++) {
      uint32_t m = below(*G, v);
      got.insert(m & 1 ? all ^ m : m);
    }
    for (uint32_t m : want) EXPECT_TRUE(got.count(m)) << m;
    dropmultiform(G.get());
  }
  EXPECT_GT(resolved, 250);
}

}  // namespace
