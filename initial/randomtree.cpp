#include "initial/randomtree.h"

#include <cstdlib>
#include <vector>

#include "trees/fatal.h"
#include "trees/newick.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/tokenizer.h"

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

RootedTree* generatedtree(const std::string& text, bool plain) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return plain ? new RootedTree(buf.data()) : newickspeciestext(buf.data(), "a generated tree");
}

std::string genrandomtree(short* ids, int count) {
  std::vector<std::string> parts;
  for (int i = 0; i < count; i++) parts.push_back(newicklabel(specnames[ids[i]]));
  if (parts.empty()) return "";
  // Removal closes the gap: the index of every later draw depends on it.
  while (parts.size() > 1) {
    size_t i = rand() % parts.size();
    std::string a = std::move(parts[i]);
    parts.erase(parts.begin() + i);
    size_t j = rand() % parts.size();
    std::string b = std::move(parts[j]);
    parts.erase(parts.begin() + j);
    parts.push_back("(" + a + "," + b + ")");
  }
  return parts[0];
}

RootedTree* randspeciestree() {
  int n = static_cast<int>(specnames.size());
  if (n == 0) return nullptr;
  bool plain = checkspeciesnames();
  std::vector<short> ids(n);
  for (int i = 0; i < n; i++) ids[i] = static_cast<short>(i);
  return generatedtree(genrandomtree(ids.data(), n), plain);
}
