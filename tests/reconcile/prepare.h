#pragma once
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

// The calling order every cost needs: depths of S, then a clean mapping of G into S.
inline void prepare(RootedTree& S, UnrootedTree& G) {
  S.setdepth(-1, 0);
  G.clean(0);
  G.setlcamappings(S);
}
