#include "reconcile/dlcost.h"

#include "reconcile/costformat.h"

double weight_dup = 1.0, weight_loss = 1.0;

std::ostream& operator<<(std::ostream& out, DlCost c) {
  return out << "(" << c.dup << "," << c.loss << ")";
}

std::ostream& operator<<(std::ostream& out, DlTotal c) {
  const long long u = weightunit();
  if (u == 1) return out << "(" << c.dup << "," << c.loss << ")";
  const double d = static_cast<double>(u);
  return out << "(" << costtext(static_cast<double>(c.dup) / d) << ","
             << costtext(static_cast<double>(c.loss) / d) << ")";
}
