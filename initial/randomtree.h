#pragma once
#include <string>

class RootedTree;

#include <vector>

// A random binary tree over the species ids, as a postorder (io/newick.h), and as it prints.
std::vector<int> genrandompost(const short* ids, int count);
std::string genrandomtree(short* ids, int count);
RootedTree* randspeciestree();

// Whether every registered species name reads back as a plain species-tree leaf (a label
// needs a letter). If one does not, the run ends with a message, unless anyspeciesnames
// (names of any characters, printed quoted where Newick needs it).
bool checkspeciesnames();
extern bool anyspeciesnames;  // --newick or --map: names of any characters
