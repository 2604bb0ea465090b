#pragma once
#include <vector>

class RootedTree;
class UnrootedTree;

extern int dumpcnt;  // number of the next dump file

void nnitester(RootedTree* s, std::vector<UnrootedTree*>& genes);
void nnitester2();
