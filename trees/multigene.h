#pragma once
#include <memory>
#include <vector>

class UnrootedTree;

// A gene tree as read, with nodes of any degree (--newick). It is kept beside the binary
// UnrootedTree that the reader built as one resolution of it: the leaves are that tree's leaf
// ids, so species ids renumbered after reading stay the tree's. The resolution for a given
// species tree is made in reconcile/polytomy.h.
class MultiGeneTree {
 public:
  // contracted: directed nodes of G whose edges are not in the multifurcating form (one of
  // the two directed nodes of each edge is enough).
  MultiGeneTree(const UnrootedTree& G, const std::vector<short>& contracted);

  int leaves = 0;
  int nodes = 0;
  // Half edge h leads from its node into the neighbour to[h]; the half edges of node v are
  // first[v] .. first[v + 1] - 1, and twin[h] is h the other way.
  std::vector<int> first, to, twin;
  std::vector<double> length;  // of the edge of each half edge (NOLENGTH: none)
  // Half edges in an order where each comes after those of the subtree it leads into: the
  // subtree of h is the neighbour to[h] with every neighbour but h's own node below it.
  std::vector<int> order;
  int degree(int v) const { return first[v + 1] - first[v]; }
};

// The multifurcating forms of the gene trees read with polytomies, by tree. Forms are added
// while gene trees are read (on any thread) and looked up afterwards; a binary gene tree has
// none, so runs without polytomies pay one test per tree.
void addmultiform(const UnrootedTree* G, std::unique_ptr<MultiGeneTree> form);
const MultiGeneTree* multiformof(const UnrootedTree* G);
void dropmultiform(const UnrootedTree* G);
bool anymultiforms();
