#pragma once
#include <vector>

#include "reconcile/dlcost.h"

class RootedTree;
class UnrootedTree;

// The cost of every gene tree (costs[k][g]) when the branch that RootedTree::nni(a, variant)
// moves is resolved as alternative k: 0, ((z,x),y), or 1, ((y,z),x), in place of ((x,y),z).
// Neither S nor the gene trees change: the alternatives are priced without the moves that
// would make them and bring the tree back. Only the gene trees of this process's share are
// priced (all of them unless the gene trees are split over processes).
void nnitry(RootedTree& S, short a, int variant, std::vector<UnrootedTree*>& genes,
            std::vector<DlCost> (&costs)[2]);
