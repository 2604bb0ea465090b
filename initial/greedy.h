#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

// A start tree by stepwise addition: the species, in a random order, each added at the place of
// least duplication-loss cost over the gene trees restricted to the species placed so far.
// Gene trees that keep fewer than three leaves are left out of a step's cost.
// The tree is over every registered species, or over the species ids given. Each place costs
// one incremental move; priced ranks the places by a pricing pass instead and costs the best
// eight exactly, pricing again from each place the species moves to. That ranking is poor from
// above the root, where the rootings take the new species for an outgroup: on plants83 it took
// longer than the walk for the same start (bench/RESULTS.md), so it is not the default.
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes);
RootedTree* greedyspeciestree(std::vector<UnrootedTree*>& genes, std::vector<short> species,
                              bool priced = false);
