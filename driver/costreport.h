#pragma once
#include <vector>

#include "driver/options.h"

void costreport(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
