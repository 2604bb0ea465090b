#pragma once
#include <vector>

#include "reconcile/dlcost.h"

class ArrTab;
class RootedTree;
class UnrootedTree;

extern int nnimaxdepth;     // -k K stores K - 1
extern int nnibigsteps;     // -j

// save: write the store as the saved file (a bootstrap replicate's search does not).
void smpexplore2(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes, int maxdepth,
                 bool save = true);

// Where an NNI search stands between moves: the tree W with its cost, the cost a step must
// beat, the node the next walk begins at, and the counts the step lines report.
struct NniWalk {
  NniWalk(RootedTree& W, std::vector<UnrootedTree*>& genes, ArrTab& store);
  RootedTree& W;
  std::vector<UnrootedTree*>& genes;
  ArrTab& store;
  DlTotal cost, delta;
  long moves = 1;
  int rotation;
  double best = 0;
  int processed = 0, newtrees = 0;  // of the step under way

  // Tries every NNI of W, and from each new tree, depth more levels of them; each tree met
  // goes to the store. 1: a tree cheaper than best was found and W has its shape; -1:
  // searchstop() ended the search; 0: none.
  int smpexplorerec3single(int depth);
};

// Every start tree must have the species of the first: a fatal error names the first that
// does not.
void checkstarts(std::vector<RootedTree*>& starts);
