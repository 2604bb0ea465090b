#pragma once
#include <string>

#include "search/nnisupport.h"

class RootedTree;

// --support as text: a title line with the tree, a header, then one row per internal branch
// below the root in node order: node id, clade, support ("-" without resampling), and for
// each NNI alternative the total cost change and the gene trees cheaper, equal and dearer.
std::string supportstable(RootedTree& S, const SupportTable& t);

// S in Newick, each internal branch labelled with its bootstrap share or else its support,
// and with --support [&&NHX:NNI1=..:NNI2=..] (the alternatives' cost changes; SUPPORT=.. first
// when the label is the bootstrap share); the root's node bare.
std::string supportnewick(const RootedTree& S, const SupportTable& t);

// The label of node v: the bootstrap share when there is one, else the support ("" for the
// root, leaves, and without resampling or bootstrap).
std::string supportlabel(const SupportTable& t, int v);

// --bootstrap as text: a title line with the tree and the replicate count, a header, then one
// row per internal branch below the root in node order: node id, clade, bootstrap share.
std::string bootstraptable(RootedTree& S, const SupportTable& t, long replicates);
