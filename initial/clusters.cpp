#include "initial/clusters.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "trees/unrootedtree.h"

void ClustersCollection::add(UnrootedTree* t) { t->addclusters(this); }

void ClustersCollection::insert(std::set<short>& c) {
  // A single species says nothing about the species tree.
  if (c.size() < 2) return;
  if (static_cast<int>(c.size()) == sizelimit) return;
  counts[c]++;
}

void UnrootedTree::addclusters(ClustersCollection* cc) {
  // One memo per directed node: every cluster is built once, from its two children.
  std::vector<std::set<short>> sets(total);
  for (int v = 0; v < total; v++)
    if (sets[v].empty()) _addclusters(static_cast<short>(v), cc, sets.data());
}

void UnrootedTree::_addclusters(short v, ClustersCollection* cc, std::set<short>* sets) {
  if (!sets[v].empty()) return;
  if (v < leaves) {
    sets[v].insert(lab[v]);
  } else {
    short a, b;
    getchildren(v, a, b);
    _addclusters(a, cc, sets);
    _addclusters(b, cc, sets);
    // Both sides are sorted: a merge appends at the end of the new set, without searching.
    std::set_union(sets[a].begin(), sets[a].end(), sets[b].begin(), sets[b].end(),
                   std::inserter(sets[v], sets[v].end()));
  }
  cc->insert(sets[v]);
}

int subseteq(std::set<short>& a, std::set<short>& b) {
  for (short s : a)
    if (b.find(s) == b.end()) return 0;
  return 1;
}
