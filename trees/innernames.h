#pragma once
#include <string>
#include <vector>

class RootedTree;

// Names that a species tree read as Newick gives its inner nodes ("Mammalia"), kept beside the
// tree for the files that name species nodes. Labels that are numbers are supports, not
// names. A tree whose shape changes in place forgets them.

// names[v] for node v ("" for none); safe on every thread.
void keepinnernames(const RootedTree* S, const std::vector<std::string>& names);
// The name of node v of S, or "".
std::string innername(const RootedTree& S, short v);
void forgetinnernames(const RootedTree* S);
