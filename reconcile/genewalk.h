#pragma once
#include <vector>

class UnrootedTree;

// Walks over directed nodes without recursion: a caterpillar gene tree is thousands deep.

// The subtree of v, parents before children, first child's side first.
void subtreepreorder(UnrootedTree& G, short v, std::vector<short>& order);

// Every directed node of G, each after both of its children.
void childfirstorder(UnrootedTree& G, std::vector<short>& order);

// sizes[x] = number of distinct species below x, for every x of a child-first order.
// sizes is indexed by directed node and must have G.total entries.
void distinctspecies(UnrootedTree& G, const std::vector<short>& order, std::vector<int>& sizes);

class RootedTree;

// counts[s] = number of leaves below species node s, for every node of S.
void leafcounts(RootedTree& S, std::vector<int>& counts);
