#include "initial/randomtree.h"

#include <cstdlib>
#include <sstream>
#include <utility>
#include <vector>

#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "io/newick.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "io/tokenizer.h"

bool anyspeciesnames = false;

bool checkspeciesnames() {
  bool plain = true;
  for (const std::string& s : specnames)
    if (!islabelname(s)) {
      // No tree text, quoted or not, has an empty leaf label.
      if (!anyspeciesnames || s.empty())
        fatal("Cannot build a species tree over the species \"" + s +
              "\": a species-tree leaf label needs a letter");
      plain = false;
    }
  return plain;
}

std::vector<int> genrandompost(const short* ids, int count) {
  std::vector<std::vector<int>> parts;
  for (int i = 0; i < count; i++) parts.push_back({ids[i]});
  if (parts.empty()) return {};
  // Removal closes the gap: the index of every later draw depends on it.
  while (parts.size() > 1) {
    size_t i = drawrandom() % parts.size();
    std::vector<int> a = std::move(parts[i]);
    parts.erase(parts.begin() + i);
    size_t j = drawrandom() % parts.size();
    std::vector<int> b = std::move(parts[j]);
    parts.erase(parts.begin() + j);
    a.insert(a.end(), b.begin(), b.end());
    a.push_back(POSTJOIN);
    parts.push_back(std::move(a));
  }
  return parts[0];
}

std::string genrandomtree(short* ids, int count) {
  std::vector<int> post = genrandompost(ids, count);
  if (post.empty()) return "";
  if (post.size() == 1) return printname(post[0]);
  RootedTree* t = speciestreeof(post);
  std::ostringstream text;
  t->print(text);
  delete t;
  return text.str();
}

RootedTree* randspeciestree() {
  int n = static_cast<int>(specnames.size());
  if (n == 0) return nullptr;
  checkspeciesnames();
  std::vector<short> ids(n);
  for (int i = 0; i < n; i++) ids[i] = static_cast<short>(i);
  return speciestreeof(genrandompost(ids.data(), n));
}
