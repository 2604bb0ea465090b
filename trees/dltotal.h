#pragma once

#include "trees/treeweights.h"

// Set by -D and -L; defined in reconcile/dlcost.cpp, beside the costs that read them.
extern double weight_dup, weight_loss;

// The cost of one gene tree: never weighted.
struct DlCost {
  int dup;
  int loss;
  DlCost(long dup, long loss) : dup(static_cast<int>(dup)), loss(static_cast<int>(loss)) {}
  double mut() const { return dup * weight_dup + loss * weight_loss; }
  long smp() const { return static_cast<long>(dup) + loss; }
};

// Summed in a wider type: an int overflow would be undefined, a narrowing only wraps.
inline DlCost operator+(DlCost a, DlCost b) {
  return DlCost(static_cast<long>(a.dup) + b.dup, static_cast<long>(a.loss) + b.loss);
}

// A sum of gene-tree costs, each counted geneunits() times (see trees/treeweights.h): whole
// numbers, so the sum is the same in any grouping. Without weights it is the plain sum.
struct DlTotal {
  long long dup = 0, loss = 0;
  DlTotal() = default;
  DlTotal(long long dup, long long loss) : dup(dup), loss(loss) {}
  DlTotal(DlCost c, long long units) : dup(c.dup * units), loss(c.loss * units) {}
  double mut() const {
    const double m = static_cast<double>(dup) * weight_dup + static_cast<double>(loss) * weight_loss;
    const long long u = weightunit();
    return u == 1 ? m : m / static_cast<double>(u);
  }
};

inline DlTotal operator+(DlTotal a, DlTotal b) { return DlTotal(a.dup + b.dup, a.loss + b.loss); }
