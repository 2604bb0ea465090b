#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "store/fingerprint.h"

class RootedTree;
class UnrootedTree;

// One distinct cluster: the fingerprint of its species set, how many times it was counted,
// its species count, and what stands for it: directed node `node` of `tree`, or, with no
// tree, the set given whole at index `node`. Species sets are written out only when needed.
struct ClusterEntry {
  Fingerprint fp;
  UnrootedTree* tree = nullptr;
  int count = 0;  // 0: an empty slot
  int node = 0;
  int size = 0;
};

// The clusters of gene trees counted by fingerprint, in memory linear in the distinct
// clusters, not in their species.
class ClustersCollection {
 public:
  // Clusters of exactly this size are not counted; 0 leaves out none of two or more species.
  int sizelimit = 0;

  // Every directed node's cluster of t (its leaves' species), when of two or more species.
  // The collection refers to t from then on: t must outlive it.
  void add(UnrootedTree* t);
  // A cluster given whole, counted `count` times.
  void insert(const std::set<short>& c, int count);
  // Adds o's counts to these.
  void merge(const ClustersCollection& o);
  size_t size() const { return distinct; }
  const std::vector<ClusterEntry>& entries() const { return slots; }
  // Every cluster written out with its count (for checks and small collections).
  std::map<std::set<short>, int> sets() const;
  // The occupied entries in the lexicographic order of their species sets (as ascending
  // sequences, a prefix first): the order of a std::map over std::set<short>. At most
  // `budget` 64-bit key words are held at once.
  std::vector<int> lexorder(size_t budget = size_t{1} << 24) const;
  // The greedy choice: clusters by decreasing count, each one nested in or disjoint from all
  // taken before; ties in the order a heap filled in lexicographic order pops them. At most
  // `keptbudget` species of clusters that await a second test are held at once.
  std::vector<std::set<short>> chosenclusters(size_t keptbudget = size_t{1} << 24) const;
  RootedTree* genclusters() const;

  // Records the cluster of `tree`'s node (or given set `node`) with this fingerprint.
  void count(const Fingerprint& fp, UnrootedTree* tree, int node, int size, int n);
  // The species of entry e, each once, in no particular order.
  void members(const ClusterEntry& e, std::vector<short>& out) const;

 private:
  std::vector<ClusterEntry> slots;  // open addressing on the fingerprint
  std::vector<std::vector<short>> given;
  size_t distinct = 0;
  void grow();
};

// Adds the clusters of the given gene trees to cc, as cc.add would one tree after the other.
// Each thread counts its block into a collection of its own and the counts are merged; a
// count does not depend on the order of its additions. When a search shares the gene trees
// out over processes, each counts its share and all of them get the sum.
void addclusters(ClustersCollection& cc, const std::vector<UnrootedTree*>& chosen);

struct CC {
  std::set<short> cluster;
  std::vector<int> post;  // the component as a postorder (io/newick.h)
};

struct clusizecomp {
  bool operator()(const std::set<short>& a, const std::set<short>& b) const {
    return a.size() > b.size();
  }
};

int subseteq(std::set<short>& a, std::set<short>& b);
