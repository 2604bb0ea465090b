#pragma once
#include <vector>

#include "driver/options.h"

void runmode(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
void nniexplore(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
// The search of -Y from the start trees in stree (more are made as the options ask), on
// gtree. A bootstrap replicate's search runs whole in this process and saves no store.
void searchcollection(std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree,
                      bool replicate);
