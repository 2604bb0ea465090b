#include "initial/consensus.h"

#include <cstdlib>
#include <iostream>
#include <queue>
#include <vector>

#include "initial/clusters.h"
#include "initial/randomtree.h"
#include "io/newick.h"
#include "trees/randomdraws.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

double nniconsprob = 0.2;

RootedTree* genconsensustree(std::vector<UnrootedTree*>& genetrees) {
  // The draws come first, in gene order; the chosen trees' clusters are then counted on
  // several threads.
  std::vector<UnrootedTree*> chosen;
  for (UnrootedTree* g : genetrees) {
    // Trees of 4 or fewer leaves draw nothing: the sequence of draws depends on it.
    if (g->leaves <= 4) continue;
    int r = drawrandom() % 100;
    if (nniconsprob * 100 > r) chosen.push_back(g);
  }
  ClustersCollection cc;
  addclusters(cc, chosen);
  return cc.genclusters();
}

// Joins two components drawn at random; the first drawn is written first.
static void joinrandom(std::vector<CC>& list) {
  size_t i = drawrandom() % list.size();
  CC a = std::move(list[i]);
  list.erase(list.begin() + i);
  size_t j = drawrandom() % list.size();
  CC b = std::move(list[j]);
  list.erase(list.begin() + j);
  a.cluster.insert(b.cluster.begin(), b.cluster.end());
  a.post.insert(a.post.end(), b.post.begin(), b.post.end());
  a.post.push_back(POSTJOIN);
  list.push_back(std::move(a));
}

RootedTree* ClustersCollection::genclusters() const {
  if (specnames.empty()) return nullptr;
  checkspeciesnames();
  std::vector<std::set<short>> accepted = chosenclusters();

  std::priority_queue<std::set<short>, std::vector<std::set<short>>, clusizecomp> smallest;
  for (auto& s : accepted) smallest.push(s);

  std::vector<CC> comps;
  for (size_t s = 0; s < specnames.size(); s++)
    comps.push_back(CC{std::set<short>{static_cast<short>(s)}, {static_cast<int>(s)}});

  // Smallest first: each part of a cluster is a species or an already built sub-cluster.
  for (size_t k = 0; k < accepted.size(); k++) {
    std::set<short> x = smallest.top();
    std::vector<CC> parts, rest;
    for (auto& c : comps) (subseteq(c.cluster, x) ? parts : rest).push_back(std::move(c));
    comps = std::move(rest);
    if (parts.size() < 2) {
      std::cerr << "At least two subsets in genclusters expected...";
      return nullptr;
    }
    while (parts.size() > 1) joinrandom(parts);
    comps.push_back(std::move(parts[0]));
    smallest.pop();
  }
  while (comps.size() > 1) joinrandom(comps);

  return speciestreeof(comps[0].post);
}
