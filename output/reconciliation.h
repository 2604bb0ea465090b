#pragma once
#include <string>
#include <utility>
#include <vector>

class RootedTree;
class UnrootedTree;

// One gene tree at one rooting, as a rooted tree mapped into a species tree.
struct RecNode {
  short dnode;         // directed node of the gene tree; -1 for the root of the rooting
  int child[2];        // indices into Reconciliation::nodes; -1 for a leaf
  short map;           // species-tree node
  bool dup;
};

// Nodes in pre-order, the root at 0, first child's subtree before the second's: the order in
// which printrooting writes them.
struct Reconciliation {
  std::vector<RecNode> nodes;
};

// G must be mapped into S (clean(0), setlcamappings); r names the rooting, as findoptimal does.
Reconciliation reconcile(UnrootedTree& G, short r);

// Events per species-tree node, summed over gene trees, each counted geneunits() times
// (trees/treeweights.h): without weights, plain counts.
//   dup        duplications mapped to the node;
//   loss       gene lineages lost on the branch above the node;
//   lineages   gene lineages entering that branch (lost ones too; a gene tree's root lineage
//              enters the branch above its root's image);
//   genetrees  gene trees with a lineage that reaches the node.
struct SpeciesEvents {
  std::vector<long> dup, loss, lineages, genetrees;
  explicit SpeciesEvents(int nodes) : dup(nodes), loss(nodes), lineages(nodes), genetrees(nodes) {}
};

void addevents(const Reconciliation& rec, const RootedTree& S, SpeciesEvents& ev,
               long units = 1);

// A count of SpeciesEvents as the files show it: whole, or weighted as costs print.
std::string eventcount(long v);

// Each gene tree reconciled at the rooting that findoptimal returns (the one -O prints).
SpeciesEvents countevents(RootedTree& S, std::vector<UnrootedTree*>& gtree);

// A leaf is named by its species, an internal node by a prefix and its id ("n7"); the prefix
// grows ("n_7") until no species name has that form, so every name is unique.
std::vector<std::string> speciesnodenames(const RootedTree& S);

// Depth-first walk without recursion (species trees may be 15000 deep). kids(x, a, b) says
// whether x has children and gives them; visit(x, step) is called with step 0 on entering x,
// 1 between its children, 2 on leaving it (a leaf gets 0 and 2).
template <class Kids, class Visit>
void depthfirst(int root, Kids kids, Visit visit) {
  std::vector<std::pair<int, int>> stack{{root, 0}};
  while (!stack.empty()) {
    auto& [x, step] = stack.back();
    int a, b;
    bool internal = kids(x, a, b);
    if (step == 0) {
      visit(x, 0);
      if (!internal) {
        visit(x, 2);
        stack.pop_back();
        continue;
      }
      step = 1;
      stack.push_back({a, 0});
    } else if (step == 1) {
      visit(x, 1);
      step = 2;
      stack.push_back({b, 0});
    } else {
      visit(x, 2);
      stack.pop_back();
    }
  }
}

// Children accessors for depthfirst.
struct SpeciesKids {
  const RootedTree& S;
  bool operator()(int x, int& a, int& b) const;
};
struct GeneKids {
  const Reconciliation& rec;
  bool operator()(int x, int& a, int& b) const {
    a = rec.nodes[x].child[0];
    b = rec.nodes[x].child[1];
    return a >= 0;
  }
};
