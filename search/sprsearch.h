#pragma once
#include <functional>
#include <vector>

class RootedTree;
class UnrootedTree;

// Trees a --spr search keeps when --keep is not given.
constexpr long sprdefaultkeep = 100;

struct SprOptions {
  long keep = sprdefaultkeep;  // trees kept whole and saved
  long perturb = 0;            // rounds of iterated local search after the climbs
  bool fuse = false;           // fuse the local optima of the starts
  bool priced = false;         // price every regraft of a subtree before walking its places
  bool save = true;            // save the store (a bootstrap replicate's search does not)
  // Starts made one at a time after the given ones, when the search is ready for them, so
  // that the time they take counts where a time limit can still end the search well.
  int laterstarts = 0;
  std::function<RootedTree*()> makestart;
};

// The species-tree search over SPR neighbourhoods, from each start tree in turn. Its output has
// the form of the NNI search: step lines, progress dots, the final report and the saved store,
// which holds the best `keep` trees met.
// With `fuse`, each start is climbed over its near neighbourhood only, and its local optimum is
// fused with the earlier ones (search/fuse.h): each clade that another optimum resolves at
// less cost is taken into the best tree, which is climbed again; the best tree of all is
// climbed over the whole neighbourhood at the end.
// Then `perturb` rounds of random SPR moves from the best tree met, each followed by a climb
// over the near neighbourhood. The made starts are appended to starts.
void sprsearch(std::vector<RootedTree*>& starts, std::vector<UnrootedTree*>& genes,
               const SprOptions& o);
