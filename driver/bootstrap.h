#pragma once
#include <vector>

#include "search/nnisupport.h"

class RootedTree;
class UnrootedTree;

// Before the search: fatal if a bootstrap file would replace another run's (as --best).
void checkbootstrapoutputs();

// --bootstrap N: N replicate collections, each family drawn with replacement as often as
// the collection has families and weighing its count, each searched as the collection was,
// quietly. Replicate r draws from a generator seeded by the run's seed and r, so the result
// does not depend on which thread or process runs it. Replicates run one after another,
// each search on the thread pool; under MPI each process takes whole replicates. Starts
// from -S are given as postorders (`given`). Returns each replicate's best tree, in
// replicate order; empty when a signal cut the replicates short.
std::vector<std::vector<int>> bootstrapreplicates(const std::vector<std::vector<int>>& given,
                                                  std::vector<UnrootedTree*>& gtree);

// The bootstrap share of every clade of each optimal tree, put into its table (made when
// --support made none); the table on standard output; the replicate trees and their
// majority-rule consensus written. Nothing when there are no replicates.
void bootstrapreport(const std::vector<RootedTree*>& optimal,
                     const std::vector<std::vector<int>>& replicates,
                     std::vector<SupportTable>& tables);
