#pragma once
#include <vector>

#include "search/nnisupport.h"

class RootedTree;
class UnrootedTree;

// --support for each species tree: its table on standard output, and the tables for the
// files that show them. Nothing without the option.
std::vector<SupportTable> supportreport(const std::vector<RootedTree*>& species,
                                        std::vector<UnrootedTree*>& gtree);
