#pragma once
#include <vector>

#include "parallel/pool.h"

class RootedTree;
class UnrootedTree;

// Work on one gene tree is roughly its node count plus a fixed cost for visiting it at all.
long geneweight(const UnrootedTree& g);

// Cuts [lo, hi) into `parts` contiguous blocks of about equal weight: block k is
// [cuts[k], cuts[k + 1]). weight has one entry per gene tree; blocks may be empty.
std::vector<int> balancedcuts(const std::vector<long>& weight, int lo, int hi, int parts);

// The gene trees that this process works on, [lo, hi) (all of them unless the search shares
// them out over processes), cut into one block per thread. Thread t owns the gene trees of
// its block: their search rows, lists and mappings, so no move takes a lock.
struct GeneShare {
  int lo = 0, hi = 0;
  std::vector<int> cuts;
  // How many times each gene tree counts in a total (trees/treeweights.h); empty when no
  // tree has a weight, and then every one counts one.
  std::vector<long long> units;
  long long one = 1;
  int parts() const { return static_cast<int>(cuts.size()) - 1; }
  long long unitsof(int g) const { return units.empty() ? one : units[g]; }
};
const GeneShare& geneshare(const std::vector<UnrootedTree*>& genes);

// One process's share as a single block: for work that must run in gene order on one thread.
GeneShare serialshare(const GeneShare& s);

// Runs body(t, lo, hi) over the blocks of the share, block t on thread t, and returns when
// all are done.
template <class Body>
void forblocks(const GeneShare& s, Body&& body) {
  if (s.parts() <= 1) {
    body(0, s.lo, s.hi);
    return;
  }
  runparts(s.parts(), [&](int t) { body(t, s.cuts[t], s.cuts[t + 1]); });
}

// Scratch of one thread's block during a move or a preparation. Thread 0 uses the species
// tree's own; each further thread has one of these.
struct GeneScratch {
  std::vector<unsigned char> mark;   // one entry per gene-tree node
};
GeneScratch& threadscratch(int t);

// Whether every leaf of the gene trees [lo, hi) has a leaf of S for its species, and gene
// trees with polytomies (if any) can be resolved under the weights; and leaves S's species
// lookup ready for threads to read. A gene tree that fails stops the run with a message,
// which must come in gene order from one thread.
bool mapsall(RootedTree& S, const std::vector<UnrootedTree*>& genes, int lo, int hi);

// Makes ready what mapping gene trees to S reads but builds on first use: the LCA table,
// the depths and the species lookup.
void readyforthreads(RootedTree& S);
