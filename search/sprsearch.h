#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

// Trees a --spr search keeps when --keep is not given.
constexpr long sprdefaultkeep = 100;

// The species-tree search over SPR neighbourhoods, from each start tree in turn. Its output has
// the form of the NNI search: step lines, progress dots, the final report and the saved store,
// which holds the best `keep` trees met. Then `perturb` rounds of random SPR moves from the best
// tree met, each followed by a climb over the near neighbourhood.
void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes, long keep,
               long perturb = 0);
