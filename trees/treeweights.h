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

// Totals count each tree its weight times weightunit(), rounded once to a whole number, and
// sum those in 64 bits: exact, so every grouping over threads and processes gives the same
// bits. The unit is 1 while every weight is whole, 2^20 while any is not.
long long weightunit();
long long geneunits(const UnrootedTree* G);
// Changes whenever a weight does: caches of units compare it.
unsigned long weightsversion();
