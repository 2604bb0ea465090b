#pragma once
#include <string>

class RootedTree;

std::string genrandomtree(short* ids, int count);
RootedTree* randspeciestree();

// Whether every registered species name reads back as a plain species-tree leaf (a label
// needs a letter). If one does not, the run ends with a message, unless anyspeciesnames:
// then generated trees quote such names and are read as Newick.
bool checkspeciesnames();
extern bool anyspeciesnames;  // --newick or --map: names of any characters

// The species tree of a generated text, read as checkspeciesnames found the names.
RootedTree* generatedtree(const std::string& text, bool plain);
