#pragma once
#include <cstddef>

// What -Y --spr does when no search option is given (no -S, -q, -r, --greedy, --fuse,
// --perturb or -j): chosen from the work of one stepwise-addition start and its climb, about
// species squared moves each walking the gene nodes.
struct SprDefaults {
  int greedy = 0;      // stepwise-addition starts
  int consensus = 0;   // quasi-consensus starts
  bool fuse = false;   // fuse the local optima of the starts
  bool priced = false; // price every regraft of a subtree before walking
  int steps = 0;       // -j
};

// timelimit: seconds of --time-limit, or not above 0 for none.
SprDefaults sprdefaultsfor(size_t species, long long geneleaves, double timelimit);
