#pragma once
#include <vector>

#include "reconcile/dlcost.h"
#include "search/sprwalk.h"

class RootedTree;
class UnrootedTree;

// What the pricing keeps of one gene tree between passes: the rooting it is priced at, the
// optimal one under the tree as it stood when the pricer last saw it change.
struct PricedFamily {
  short rooting = -1;
};

// One thread's counters for its block of gene trees, one entry per species node, and its
// scratch per gene node. Sized once; a pass clears the counters in place.
struct PricingCounters {
  std::vector<long> mass;     // rooted-node weights at their images: the tree as it stands
  std::vector<long> mixed;    // mixed nodes' weights at their images in the rest of the tree
  std::vector<long> moved;    // the same weights taken off their images in the tree
  std::vector<long> dup;      // duplication changes for every place below the node
  std::vector<short> image;   // per gene node: its image in the rest of the tree
  std::vector<unsigned char> kind;
  std::vector<short> stack;
  long visited = 0;
  void size(int species, int genenodes);
};

// Prices every regraft of a pruned subtree P in one pass: for each edge of the rest of the tree
// (the edge above its root included), the total duplication-loss cost with P regrafted there,
// each gene tree kept at the rooting it has now. That rooting is optimal where P stands, so
// the price there is the tree's cost, and elsewhere an upper bound of the true cost (the
// least over rootings).
//
// Why one pass suffices, per rooted gene tree: a node with species of P only maps inside P and
// moves down with it; one with none of P's species keeps its image, one level deeper when the
// place is above it; a node with both (mixed) maps to lca(place, m), m the image of its other
// species in the rest of the tree. Losses are the sum over nodes of weight x depth of image
// (weight +1 for a leaf, -1 for an inner node, -2 for the root) plus twice the duplications,
// less a constant, so each of these becomes a count on a species node that a subtree sum or
// a sum down from the root spreads over the places. Only the mixed nodes, which map to P's
// parent or above it, are visited per pass; the rest enter through masses summed once per
// tree shape.
class RegraftPricer {
 public:
  RegraftPricer(RootedTree& W, std::vector<UnrootedTree*>& genes) : W(W), genes(genes) {}

  // Prices every place of P (not the root); total is the tree's exact cost as it stands.
  void price(short P, DlTotal total);
  // The places of the last pass, the lower node of each edge, parents first: the nodes of the
  // rest of the tree. The first is its root; P's own place is its sibling.
  const std::vector<short>& places() const { return order; }
  DlTotal cost(short x) const { return priced[x]; }
  // The route SprWalk::go takes from P's own place to the edge above x.
  SprPlace route(short x) const;
  // The cheapest place of the last pass other than P's own, first in places() among equals.
  short cheapest() const;
  // The k cheapest places of the last pass other than P's own, cheapest first, ties in the
  // order of places().
  std::vector<short> ranked(size_t k) const;
  short home() const { return e; }

  long passes = 0;
  long visited = 0;  // mixed-node visits over all passes: the per-pass work on gene trees

 private:
  RootedTree& W;
  std::vector<UnrootedTree*>& genes;
  // The shape and leaf species the state below describes; different ones make it again.
  std::vector<short> seenson, seenparent, seenlab;
  short seenroot = -1;
  std::vector<short> pre, end, bypre;  // preorder intervals of W
  std::vector<long> mass;              // summed rooted-node weights at each image
  std::vector<PricedFamily> families;
  std::vector<PricingCounters> counters;  // one per thread block
  // The pass: P, its parent and sibling, the rest of the tree as parent links and depths.
  short P = -1, p = -1, e = -1;
  std::vector<short> order, up, depth, rank;  // rank: position in order
  std::vector<long> subB, subM, down, dups;
  std::vector<DlTotal> priced;

  void refresh();
  // u: how many times the family counts (its weight in the share's units).
  void familymass(int g, long u, PricingCounters& c);
  void familypass(int g, long u, PricingCounters& c);
  bool inside(short s, short v) const { return pre[v] <= pre[s] && pre[s] < end[v]; }
  short lca(short a, short b) const;
  short restchild(short c) const { return c == p ? e : c; }
};
