#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

class RootedTree;
class UnrootedTree;

class ClustersCollection {
 public:
  std::map<std::set<short>, int> counts;
  // Clusters of exactly this size are not counted; 0 leaves out none of two or more species.
  int sizelimit = 0;

  ClustersCollection() = default;
  void add(UnrootedTree* t);
  void insert(std::set<short>& c);
  RootedTree* genclusters();
};

struct ClusterCnt {
  std::set<short> cluster;
  int count;
  ClusterCnt(const std::set<short>& cluster, int count) : cluster(cluster), count(count) {}
};

struct CC {
  std::set<short> cluster;
  std::vector<int> post;  // the component as a postorder (trees/newick.h)
};

struct clucntcomp {
  bool operator()(const ClusterCnt& a, const ClusterCnt& b) const { return a.count < b.count; }
};

struct clusizecomp {
  bool operator()(const std::set<short>& a, const std::set<short>& b) const {
    return a.size() > b.size();
  }
};

int subseteq(std::set<short>& a, std::set<short>& b);
