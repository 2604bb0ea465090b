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
// 1: a cheaper tree was found and W has its shape; -1: searchstop() ended the search; 0: none.
int smpexplorerec3single(RootedTree& W, std::vector<UnrootedTree*>& genes, ArrTab& store,
                         DlTotal& cost, DlTotal& delta, int depth, long& moves, int& rotation,
                         int& processed, int& newtrees, double& best);

// Every start tree must have the species of the first: a fatal error names the first that
// does not.
void checkstarts(std::vector<RootedTree*>& starts);
