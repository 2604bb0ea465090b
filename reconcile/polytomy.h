#pragma once
#include <vector>

class MultiGeneTree;
class RootedTree;
class UnrootedTree;

// Least duplication-loss cost (weighted by -D and -L) of the gene tree M over every binary
// resolution of its polytomies and every rooting, under S (depths and LCA table ready), and
// writes a resolution of that cost into G, the binary tree M was read with; G's mappings are
// to be set again. A leaf whose species S lacks leaves G as it was, for the mapping to report,
// and returns -1.
double resolvemultiform(const MultiGeneTree& M, RootedTree& S, UnrootedTree& G);

// G resolved against S when it was read with polytomies; true when it was.
bool resolveifmulti(UnrootedTree& G, RootedTree& S);

// Every gene tree read with polytomies resolved against S, whose depths and LCA table are made
// here; nothing to do (one test) when no gene tree has a polytomy.
void resolvegenes(RootedTree& S, std::vector<UnrootedTree*>& genes);
