#pragma once
#include <map>
#include <string>
#include <vector>

class RootedTree;

// A rooted tree read from text, nodes in pre-order (root at 0): plain tree text as -O prints
// it, or Newick with internal names, :lengths and [&&NHX:KEY=VALUE:...] comments (no quotes).
struct TextNode {
  int parent = -1;
  std::vector<int> kids;
  std::string name;
  std::string length;  // as written, "" for none
  std::map<std::string, std::string> keys;
};
std::vector<TextNode> readnewick(const std::string& text);

// Subtree of x as plain text: leaf names only, no internal names, no comments.
std::string plaintext(const std::vector<TextNode>& t, int x);

// From scratch: each node of a rooted gene tree mapped by walking up S; dup as defined by
// the images of the children.
struct SlowRec {
  std::vector<TextNode> tree;
  std::vector<short> map;
  std::vector<bool> dup;
};
SlowRec slowreconcile(const std::string& rootedtext, RootedTree& S);

bool slowisancestor(RootedTree& S, short a, short x);  // a is x or above it

// Events of one reconciled gene tree, counted per species node straight from their meaning.
struct SlowEvents {
  std::vector<long> dup, loss, lineages, genetrees;
};
void slowaddevents(const SlowRec& r, RootedTree& S, SlowEvents& ev);
