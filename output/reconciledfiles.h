#pragma once
#include <string>
#include <vector>

class RootedTree;
class UnrootedTree;

// The file of --reconciled for one species tree: every gene tree at the rooting that -O prints,
// each node with the species node it maps to (named as speciesnodenames does) and each
// internal node marked duplication or speciation.
//   nhx:          one gene tree a line, leaf[&&NHX:S=..] and (..,..)[&&NHX:S=..:D=Y or N];
//   recphyloxml:  the species tree and one recGeneTree per gene tree.
std::string reconciledtext(RootedTree& S, std::vector<UnrootedTree*>& gtree, bool xml);
