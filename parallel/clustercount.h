#pragma once
#include <vector>

class ClustersCollection;
class UnrootedTree;

// Adds the clusters of the given gene trees to cc, as cc.add would one tree after the other.
// Each thread counts its block into a collection of its own; the counts are then merged, and
// a count does not depend on the order of its additions. When a search shares the gene trees
// out over processes, each counts its share and all of them get the sum.
void addclusters(ClustersCollection& cc, const std::vector<UnrootedTree*>& chosen);
