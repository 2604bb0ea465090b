#pragma once
#include <vector>

#include "driver/options.h"

void runmode(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
void nniexplore(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
