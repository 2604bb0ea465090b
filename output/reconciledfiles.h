#pragma once
#include <string>
#include <vector>

class RootedTree;
class UnrootedTree;

// The file of --reconciled for one species tree: every gene tree at the rooting that -O prints,
// each node with the species node it maps to (named as speciesnodenames does), each internal
// node marked duplication or speciation, and the branch lengths and inner labels (support
// values) the gene tree's text gave; the root halves the edge it stands on, and both halves
// keep that edge's label.
//   nhx:          one gene tree a line, leaf:len[&&NHX:S=..:L=..] and
//                 (..,..)label:len[&&NHX:S=..:D=Y or N:L=..], L the gene copies lost on the
//                 branch above the node;
//   recphyloxml:  the species tree and one recGeneTree per gene tree, as the recGeneTree
//                 schema defines it: a loss is a clade of one loss event beside the lineage
//                 that goes on, under a speciation clade.
std::string reconciledtext(RootedTree& S, std::vector<UnrootedTree*>& gtree, bool xml);
