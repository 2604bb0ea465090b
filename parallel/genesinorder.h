#pragma once
#include <functional>
#include <ostream>
#include <vector>

#include "reconcile/dlcost.h"

class RootedTree;
class UnrootedTree;

// Runs body(G, out) for every gene tree against species tree S and returns the sum of what
// it returns. The text each call writes to out reaches `to` in gene order, and the sum is
// taken in gene order, however many threads share the work; each gene tree counts as
// often as its weight says (trees/treeweights.h). Gene trees go to several
// threads only when every one maps into S: a missing species stops the run with a message
// after the text of the gene trees before it, as on one thread.
DlTotal eachgeneinorder(RootedTree& S, std::vector<UnrootedTree*>& genes, std::ostream& to,
                       const std::function<DlCost(UnrootedTree& G, std::ostream& out)>& body);
