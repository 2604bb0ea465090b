#pragma once
#include <ostream>

// Costs as the run prints and saves them: the stream's default formatting (6 significant
// digits), or, with exactcosts, integers in full and other values as the shortest decimal
// that reads back to the same double.
extern bool exactcosts;

struct CostText {
  double value;
  bool exact;
};
inline CostText costtext(double v) { return CostText{v, exactcosts}; }
inline CostText exactcost(double v) { return CostText{v, true}; }
std::ostream& operator<<(std::ostream& out, CostText c);
