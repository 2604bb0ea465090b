#pragma once
#include <string>

class RootedTree;

std::string genrandomtree(short* ids, int count);
RootedTree* randspeciestree();

// Ends the run with a message when a registered species name cannot be read back as a
// species-tree leaf (a label needs a letter), which every generated tree text requires.
void checkspeciesnames();
