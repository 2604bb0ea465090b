#include "reconcile/costformat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

bool exactcosts = false;

std::ostream& operator<<(std::ostream& out, CostText c) {
  if (!c.exact || !std::isfinite(c.value)) return out << c.value;
  char buf[64];
  if (c.value == std::floor(c.value) && std::fabs(c.value) < 1e18) {
    snprintf(buf, sizeof buf, "%.0f", c.value);
    return out << buf;
  }
  for (int digits = 1; digits <= 17; digits++) {
    snprintf(buf, sizeof buf, "%.*g", digits, c.value);
    if (strtod(buf, nullptr) == c.value) break;
  }
  return out << buf;
}
