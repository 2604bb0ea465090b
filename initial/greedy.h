#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

// A start tree by stepwise addition: the species, in a random order, each added at the place of
// least duplication-loss cost over the gene trees restricted to the species placed so far, among
// the few places that one pricing pass over every edge ranks best.
// Gene trees that keep fewer than three leaves are left out of a step's cost.
// The tree is over every registered species, or over the species ids given.
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes);
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes, std::vector<short> species);
