#pragma once
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

// Markers of the canonical encoding; leaf entries are species ids below REPROPEN.
constexpr short REPROPEN = 15000;
constexpr short REPRCLOSE = 15001;

struct TreeRepr {
  int len;
  short* arr;
  double cost;
  bool expanded;
  TreeRepr(short* arr, int len, double cost);
  int eq(short* arr, int len, double cost) const;
};

std::ostream& operator<<(std::ostream& out, const TreeRepr& r);
// The encoded tree as a postorder (io/newick.h), numbered as its printed text reads.
std::vector<int> reprpostorder(const TreeRepr& r);

// Waiting-queue order: the top is a cheapest tree.
struct treereprcomp {
  bool operator()(const TreeRepr* a, const TreeRepr* b) const { return a->cost > b->cost; }
};

template <class T>
std::string to_string(const T& x) {
  std::ostringstream s;
  s << x;
  return s.str();
}
