#pragma once
#include <ostream>

extern double weight_dup, weight_loss;  // set by -D and -L

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
std::ostream& operator<<(std::ostream& out, DlCost c);
