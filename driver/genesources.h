#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class RootedTree;
class UnrootedTree;

// Where the gene trees came from, so that a message can name a tree's file and line.
struct GeneSource {
  std::string file;  // empty: the trees of -g
  bool newick = false;
  size_t first = 0, count = 0;  // the trees gtree[first, first + count)
  bool family = false;  // one family of --families: its trees are resampled together
};
extern std::vector<GeneSource> genesources;

// Records the trees read since before (the size of gtree then) as from file.
void notegenes(const std::string& file, bool newick, size_t before, size_t after,
               bool family = false);

// The families that a bootstrap resamples, as [first, end) ranges of gtree in order: the
// trees of one family of --families together, every other tree alone.
std::vector<std::pair<size_t, size_t>> genefamilies(size_t genecount);

// A gene whose species the species tree lacks ends the run with a message that names the
// gene, its species, and the file and line of its tree.
void checkgenespecies(const RootedTree& S, const std::vector<UnrootedTree*>& gtree);
