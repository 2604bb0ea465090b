#pragma once
#include <functional>
#include <utility>
#include <vector>

#include "reconcile/dlcost.h"
#include "store/fingerprint.h"

class RootedTree;
class UnrootedTree;

// A place of a pruned subtree P in the rest of the tree, as the walk reaches it from P's own
// place: so many steps up, then down into these clades (node ids that the walk keeps).
struct SprPlace {
  int ups = 0;
  std::vector<short> downs;
};

// Subtree-prune-and-regraft moves on a prepared species tree, made of NNI moves: each NNI at
// the edge above P's parent moves P by one edge of the rest of the tree, so the cost of every
// place of P costs one incremental move. The walk visits every place of P (the edge above the
// root included) and brings P back; the node ids of the rest of the tree are kept.
class SprWalk {
 public:
  SprWalk(RootedTree& W, std::vector<UnrootedTree*>& genes) : W(W), genes(genes) {}

  // After W was prepared (initGTS) with total cost c.
  void start(DlTotal c);
  DlTotal cost() const { return total; }
  Fingerprint fingerprint() const { return hashes.fingerprint(); }
  long moves = 0;

  // Visits every other place of P within radius edges of its own (every place with a negative
  // radius), calling visit(place) at each, and returns P to its own. visit may return false
  // to stop the walk there (P then stays at that place).
  bool walk(short P, const std::function<bool(const SprPlace&)>& visit, int radius = -1);
  // Moves P from its own place to the place.
  void go(short P, const SprPlace& place);
  // While a journal is set, go() writes its steps there; undo() takes them back, last first,
  // to the tree the journal began at.
  void record(std::vector<std::pair<short, short>>* steps) { journal = steps; }
  std::vector<std::pair<short, short>>* recording() const { return journal; }
  void undo(std::vector<std::pair<short, short>>& steps);

  // Single steps, for the walk and the tests.
  short sibling(short P) const;
  void down(short P, short child);  // child: a child of P's sibling
  void up(short P);                 // P's parent must not be the root

 private:
  RootedTree& W;
  std::vector<UnrootedTree*>& genes;
  DlTotal total;
  CladeHashes hashes;
  SprPlace here;
  std::vector<std::pair<short, short>>* journal = nullptr;
  void nni(short a, short c);
  void swapchildren(short v);
  bool below(short P, const std::function<bool(const SprPlace&)>& visit, int radius);
};
