#include "reconcile/dlcost.h"

double weight_dup = 1.0, weight_loss = 1.0;

std::ostream& operator<<(std::ostream& out, DlCost c) {
  return out << "(" << c.dup << "," << c.loss << ")";
}
