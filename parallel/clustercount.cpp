#include "parallel/clustercount.h"

#include "initial/clusters.h"
#include "parallel/geneshare.h"
#include "parallel/processes.h"

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
  if (!splitacrossprocesses()) return;
  // Each process counted its share: every process adds up all the counts, as
  // (size, species..., count) records.
  std::vector<int> mine;
  for (auto& entry : cc.counts) {
    mine.push_back(static_cast<int>(entry.first.size()));
    mine.insert(mine.end(), entry.first.begin(), entry.first.end());
    mine.push_back(entry.second);
  }
  std::vector<int> all = gatherfromall(mine);
  cc.counts.clear();
  for (size_t i = 0; i < all.size();) {
    int n = all[i++];
    std::set<short> cluster(all.begin() + i, all.begin() + i + n);
    i += n;
    cc.counts[cluster] += all[i++];
  }
}
