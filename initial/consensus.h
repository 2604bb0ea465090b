#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

extern double nniconsprob;  // set by -Q

RootedTree* genconsensustree(std::vector<UnrootedTree*>& genetrees);
