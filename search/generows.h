#pragma once
#include "trees/rootedtree.h"

// The search rows of one gene tree sit in one block, so that a move reads one region per gene
// tree: duplication heads (mdup), speciation heads (mspec), out values (mout), then the
// lengths of the duplication and speciation lists, one entry per species node each. The
// lengths let a move recompute a gene tree's cost without walking its lists.
constexpr int generowcount = 5;
inline short* dupcounts(const RootedTree& S, int g) { return S.mout[g] + S.total; }
inline short* speccounts(const RootedTree& S, int g) { return S.mout[g] + 2 * S.total; }
