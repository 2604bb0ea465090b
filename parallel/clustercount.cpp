#include "parallel/clustercount.h"

#include "initial/clusters.h"
#include "parallel/geneshare.h"

void addclusters(ClustersCollection& cc, const std::vector<UnrootedTree*>& chosen) {
  const GeneShare& share = geneshare(chosen);
  std::vector<ClustersCollection> own(share.parts());
  forblocks(share, [&](int t, int lo, int hi) {
    ClustersCollection& into = t == 0 ? cc : own[t];
    into.sizelimit = cc.sizelimit;
    for (int g = lo; g < hi; g++) into.add(chosen[g]);
  });
  for (int t = 1; t < share.parts(); t++) {
    // Clusters new to cc move over whole; those left behind add their counts.
    cc.counts.merge(own[t].counts);
    for (auto& entry : own[t].counts) cc.counts[entry.first] += entry.second;
  }
}
