#pragma once
#include <random>
#include <string>
#include <vector>

// Random tree texts for property tests; the caller's generator makes them reproducible.

// Rooted binary tree with each name once, by joining random pairs.
std::string randomrootedtext(std::mt19937& rng, std::vector<std::string> names);

// Unrooted gene tree of n >= 3 leaves whose labels are drawn (with repeats) from names;
// the top node has two or three children at random.
std::string randomgenetext(std::mt19937& rng, const std::vector<std::string>& names, int n);

// Gene tree of n >= 3 leaves drawn from names whose nodes have 2 to maxdegree children, the
// top 2 to maxdegree + 1.
std::string randompolygenetext(std::mt19937& rng, const std::vector<std::string>& names, int n,
                               int maxdegree);

// Caterpillar gene tree of n >= 3 leaves, ((((l0,l1),l2),...),l(n-1)), with l(i) = pick(i),
// built in one pass.
template <class Pick>
std::string caterpillargenetext(int n, Pick pick) {
  std::string s(n - 2, '(');
  s += pick(0);
  for (int i = 1; i < n - 1; i++) s += "," + pick(i) + ")";
  return "(" + s + "," + pick(n - 1) + ")";
}

// Names s0, s1, ... s(n-1).
std::vector<std::string> speciesnames(int n, const std::string& prefix = "s");
