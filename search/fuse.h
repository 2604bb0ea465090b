#pragma once
#include <vector>

// Tree fusing on canonical encodings (store/treerepr): where two trees share a clade (the
// same species) but resolve it differently, the first tree with that clade resolved as in
// the second is a candidate. Local optima from different starts often differ in a few such
// clades, each resolved better in one of them, so the candidates recombine their good parts.
// Candidates come smallest clade first, each a canonical encoding of a whole tree, each
// tree once.
std::vector<std::vector<short>> fusecandidates(const std::vector<short>& a,
                                               const std::vector<short>& b);
