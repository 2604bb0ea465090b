#pragma once
#include <string>

#include "search/nnisupport.h"

class RootedTree;

// --support as text: a title line with the tree, a header, then one row per internal branch
// below the root in node order: node id, clade, support ("-" without resampling), and for
// each NNI alternative the total cost change and the gene trees cheaper, equal and dearer.
std::string supportstable(RootedTree& S, const SupportTable& t);

// S in Newick, each internal branch labelled with its support and [&&NHX:NNI1=..:NNI2=..]
// (the alternatives' cost changes); the root's node bare.
std::string supportnewick(const RootedTree& S, const SupportTable& t);

// The support of node v as a label ("" for the root, leaves and without resampling).
std::string supportlabel(const SupportTable& t, int v);
