#pragma once
#include <vector>

class RootedTree;

// A species tree's shape with its node ids as they stand: moves keep ids that a rebuilt tree
// would number otherwise, and a search's next moves depend on them.
struct TreeShape {
  short root = -1;
  std::vector<short> lab, parent, son;
};

TreeShape shapeof(const RootedTree& S);
// Gives S (of the same size) the shape; its search structures need preparing again.
void setshape(RootedTree& S, const TreeShape& shape);
