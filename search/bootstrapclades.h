#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class RootedTree;

// A clade as the set of its species ids, one bit each.
using Clade = std::vector<uint64_t>;

// The clade below each node of S, by node id.
std::vector<Clade> nodeclades(const RootedTree& S, size_t species);

// How many trees hold each clade, over trees given as postorders (io/newick.h). Leaves
// and the whole species set are no clades.
class CladeCounts {
 public:
  explicit CladeCounts(size_t species) : species(species) {}
  void add(const std::vector<int>& post);
  long trees() const { return count; }
  long of(const Clade& c) const;
  // Percent of the trees holding c.
  double share(const Clade& c) const;
  // The majority-rule consensus in Newick: the clades of more than half of the trees (these
  // are compatible), each labelled with its share; children ordered by their least species
  // id. The leaves are the species of the first tree.
  std::string consensus() const;

 private:
  size_t species;
  long count = 0;
  std::map<Clade, long> held;
  Clade leafset;
};

// A tree given as a postorder, in Newick with a closing ';', species names as --best writes
// them with supports.
std::string postordertext(const std::vector<int>& post);
