#pragma once
#include <utility>
#include <vector>

#include "reconcile/dlcost.h"

class RootedTree;
class UnrootedTree;

// A start tree by stepwise addition: the species, in a random order, each added at the place of
// least duplication-loss cost over the gene trees restricted to the species placed so far.
// Gene trees that keep fewer than three leaves are left out of a step's cost.
// The tree is over every registered species, or over the species ids given. priced (the
// default): every place of a new species is priced in one pass (StepwiseAddition below) and the
// best few by price are costed exactly; otherwise each place costs one incremental move of a
// walk over the whole tree (slower, kept to measure against).
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes);
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes, std::vector<short> species,
                              bool priced = true);

// The species tree of a stepwise addition as it grows: a new leaf goes on the edge above a
// node, under a new inner node. Node ids never change, so what the gene trees keep of their
// images stays valid from one step to the next.
struct GrowingTree {
  short root = -1;
  std::vector<short> parent, left, right;  // -1: none
  std::vector<short> species;              // of a leaf; -1 for an inner node
  std::vector<short> depth, pre, end;      // preorder intervals: v holds s iff pre[v] <= pre[s] < end[v]
  std::vector<short> bypre;                // the nodes in preorder

  GrowingTree(short a, short b);
  int size() const { return static_cast<int>(parent.size()); }
  bool inside(short s, short v) const { return pre[v] <= pre[s] && pre[s] < end[v]; }
  short lca(short a, short b) const;
  // Species s as a new leaf on the edge above x; returns the leaf. The new inner node is the
  // leaf's id + 1.
  short insert(short s, short x);
  // Left subtree, right subtree, node, as io/newick.h builds trees from.
  std::vector<int> postorder() const;

 private:
  void renumber();
};

// What stepwise addition keeps of one gene tree between steps, so that a step needs no
// restricted copy: its directed nodes laid out children first (fixed), so that a pass over
// the tree reads its arrays in order; the image in the tree built so far of each directed
// node's placed leaves; and the rooting optimal there.
struct StepwiseFamily {
  std::vector<short> node;             // the directed node at each position
  std::vector<short> first, second;    // its children's positions; a leaf: -1 and its species
  std::vector<short> opposite;         // the position of the other side of its edge
  std::vector<short> at;               // the position of each directed node
  std::vector<short> image;            // by position; -1: no placed leaf on that side
  std::vector<unsigned char> hasnew;   // by position: a leaf of the species being added
  short rooting = -1;  // a directed node with placed leaves on both sides; -1: < 3 placed
  int placed = 0;      // placed leaves
};

// Stepwise addition over gene trees kept whole, unplaced leaves left out. A new species t is
// priced on every edge of the tree W built so far in one pass, each gene tree at the rooting
// that was optimal for it without t (an edge of the whole gene tree, so t's leaves fall where
// they are): the price is exact for the trees without t, whose optimal rootings do not move,
// and an upper bound for the others. A place is costed exactly by moving the root of each tree
// that holds t from its kept rooting to cheaper neighbouring edges (a tree that reaches three
// leaves only with t: one pass over its rootings). Gene trees are shared out over the threads
// and processes as the search shares them; sums are whole numbers, so any split gives the
// same choices.
class StepwiseAddition {
 public:
  // W = (a, b).
  StepwiseAddition(std::vector<UnrootedTree*>& genes, short a, short b);
  ~StepwiseAddition();
  StepwiseAddition(const StepwiseAddition&) = delete;
  StepwiseAddition& operator=(const StepwiseAddition&) = delete;

  const GrowingTree& tree() const { return W; }
  // Prices species t above every node of W (places(): W's nodes in preorder).
  void price(short t);
  const std::vector<short>& places() const { return W.bypre; }
  // The total at the given rootings with t above x; exact for the trees without t.
  DlTotal priced(short x) const { return prices[x]; }
  // The least total over the rootings of every gene tree with t above x.
  DlTotal exact(short x);
  // Costs the places exactly, a few in one pass over the gene trees.
  void costexactly(const std::vector<short>& xs);
  // Prices t, costs the k best places by price exactly and returns the cheapest of those,
  // the better priced first among equals.
  short choose(short t, size_t k);
  // Puts t above x and keeps each gene tree's images and optimal rooting.
  void insert(short x);
  const StepwiseFamily& family(int g) const { return families[g]; }

  long exactpasses = 0;

 private:
  struct Scratch;
  std::vector<UnrootedTree*>& genes;
  GrowingTree W;
  std::vector<short> leafof;  // W's leaf of each species, -1 while unplaced
  std::vector<StepwiseFamily> families;
  // The gene trees holding each species, and how many leaves of it each has.
  std::vector<std::vector<std::pair<int, int>>> holders;
  std::vector<char> holds;      // of the species being added
  std::vector<int> newcount;    // its leaves in each gene tree
  std::vector<Scratch*> scratch;          // one per thread block
  short t = -1;
  std::vector<DlTotal> prices, without;  // without: of the gene trees without t
  // Places costed exactly for t, and the rootings each gave the trees that hold t.
  std::vector<short> costed;
  std::vector<std::vector<short>> costedrootings;
  std::vector<DlTotal> costedtotals;

  int newleaves(int g) const { return newcount[g]; }

  void setplace(short x, short* mixed, short* depths) const;
  void pricefamily(int g, long long units, Scratch& c);
  // From the kept rooting, the root moved to a cheaper neighbouring edge while there is one:
  // the change of cost, and the rooting reached.
  DlTotal descend(int g, const short* mixed, const short* depths, short& rooting) const;
  // k places at once: mixed and depths hold k rows of setplace's.
  void exactfamily(int g, int k, const short* mixed, const short* depths, int wide, Scratch& c,
                   DlTotal* out, short* rootings) const;
};
