#pragma once
#include <string>
#include <vector>

class UnrootedTree;

// The labels that --newick reads on the inner nodes of gene trees: support values (95, 0.95,
// IQ-TREE's 80/95) or clade names. They belong to the edge above the node in the text, and
// are kept beside the trees (the costs never read them), only for trees that have any, for
// the files of --reconciled.

// Labels of G by directed node: labels[v] is the label of the edge between v and its opposite
// G.parent[v] ("" for none). Replaces what G had; safe on every thread.
void keepedgelabels(const UnrootedTree* G, const std::vector<std::string>& labels);

// The label of the edge between v and G.parent[v], given on either side ("" for none).
std::string edgelabel(const UnrootedTree& G, short v);

// Drops G's labels (its destructor calls this).
void forgetedgelabels(const UnrootedTree* G);
