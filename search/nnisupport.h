#pragma once
#include <vector>

#include "reconcile/dlcost.h"

class RootedTree;
class UnrootedTree;

// How firmly the gene trees hold one internal branch of a species tree: the branch above
// node `node`, whose lower node has children x and y and whose sister is z. Its two NNI
// alternatives, ((z,x),y) and ((y,z),x), are compared with the tree's ((x,y),z).
struct BranchSupport {
  short node = -1;
  DlTotal change[2];               // total cost change of each alternative
  long lower[2] = {0, 0}, equal[2] = {0, 0}, higher[2] = {0, 0};  // gene trees, by their cost
  // Percent of resampled collections in which the tree's resolution costs least, ties split
  // evenly; negative when no resampling was asked for (0 replicates).
  double support = -1;
  // Percent of --bootstrap replicate trees that hold the clade below the branch.
  double bootstrap = -1;
};

// One entry per internal node below the root, by node id (node == -1 elsewhere). nni: the
// NNI values and resampling support (--support) are filled; boot: the bootstrap shares are.
struct SupportTable {
  std::vector<BranchSupport> at;
  bool nni = false, boot = false;
};

// The supports of every internal branch of S. Per-gene costs of the alternatives come from
// the incremental NNI move, priced without being made (search/nnimove.h). Resampling:
// `replicates` collections, each n draws of rng() % n from one std::mt19937_64(seed), in
// replicate order; a drawn gene tree counts with its weight.
SupportTable nnisupports(RootedTree& S, std::vector<UnrootedTree*>& genes, long replicates,
                         unsigned long seed);

// Supports and bootstrap shares as labels print them: at most one decimal ("100", "87.5").
std::string supporttext(double percent);
