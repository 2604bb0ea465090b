#pragma once

class UnrootedTree;

// The weight of a gene tree in every total that sums gene trees: [&WEIGHT=w] before it in a
// list file, 1/k for each of the k trees a family gives as a sample, a bootstrap count. Kept
// beside the trees, keyed by tree; a tree without one weighs 1. Safe on every thread.
void setgeneweight(const UnrootedTree* G, double w);
double geneweight(const UnrootedTree* G);
// Whether any tree has a weight other than 1: without, totals are plain sums.
bool anygeneweights();
// Drops G's weight (its destructor calls this).
void forgetgeneweight(const UnrootedTree* G);
