#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

void readstree(const char* fname, std::vector<RootedTree*>& stree);
void readgtree(const char* fname, std::vector<UnrootedTree*>& gtree);
