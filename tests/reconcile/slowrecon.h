#pragma once
#include <string>

class RootedTree;
class UnrootedTree;

// Costs of one rooted gene tree, computed from scratch: the tree is parsed from its printed
// text, every node is mapped by walking up the species tree, and clusters are name sets.
struct SlowCosts {
  long dup = 0, loss = 0;
  long dc = 0;   // species edges spanned, summed over gene edges
  long sp = 0;   // speciation nodes, root included
  long rf = 0;   // gene clusters missing from S plus species clusters missing from the gene tree
  long rfo = 0;  // non-root internal gene clusters that are species clusters
};

SlowCosts slowcosts(const std::string& rootedtext, RootedTree& S);

// The same for the rooting of G at directed node v (through its printed rooting).
SlowCosts slowcosts(UnrootedTree& G, short v, RootedTree& S);

// The text of G rooted at directed node v.
std::string rootingtext(UnrootedTree& G, short v);

// The LCA by walking parents from the deeper node; depths counted by walking to the root.
short slowlca(RootedTree& S, short a, short b);
