#include "tests/randomtrees.h"

#include <algorithm>

static std::string joinrandom(std::mt19937& rng, std::vector<std::string> parts, size_t keep) {
  while (parts.size() > keep) {
    size_t i = rng() % parts.size();
    std::string a = parts[i];
    parts.erase(parts.begin() + i);
    size_t j = rng() % parts.size();
    std::string b = parts[j];
    parts.erase(parts.begin() + j);
    parts.push_back("(" + a + "," + b + ")");
  }
  std::string s = parts[0];
  for (size_t i = 1; i < parts.size(); i++) s += "," + parts[i];
  return keep == 1 ? s : "(" + s + ")";
}

std::string randomrootedtext(std::mt19937& rng, std::vector<std::string> names) {
  return joinrandom(rng, names, 1);
}

std::string randomgenetext(std::mt19937& rng, const std::vector<std::string>& names, int n) {
  std::vector<std::string> leaves;
  for (int i = 0; i < n; i++) leaves.push_back(names[rng() % names.size()]);
  return joinrandom(rng, leaves, n > 3 && rng() % 2 ? 3 : 2);
}

std::string randompolygenetext(std::mt19937& rng, const std::vector<std::string>& names, int n,
                               int maxdegree) {
  std::vector<std::string> parts;
  for (int i = 0; i < n; i++) parts.push_back(names[rng() % names.size()]);
  size_t keep = 2 + rng() % maxdegree;
  while (parts.size() > keep) {
    size_t k = std::min<size_t>(2 + rng() % (maxdegree - 1), parts.size() - 1);
    std::string node;
    for (size_t c = 0; c < k; c++) {
      size_t i = rng() % parts.size();
      node += (c ? "," : "(") + parts[i];
      parts.erase(parts.begin() + i);
    }
    parts.push_back(node + ")");
  }
  std::string s = parts[0];
  for (size_t i = 1; i < parts.size(); i++) s += "," + parts[i];
  return "(" + s + ")";
}

std::vector<std::string> speciesnames(int n, const std::string& prefix) {
  std::vector<std::string> v;
  for (int i = 0; i < n; i++) v.push_back(prefix + std::to_string(i));
  return v;
}
