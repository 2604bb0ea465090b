#include "driver/supports.h"

#include <iostream>

#include "driver/longopts.h"
#include "driver/options.h"
#include "output/supportfiles.h"
#include "parallel/processes.h"
#include "reconcile/polytomy.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

std::vector<SupportTable> supportreport(const std::vector<RootedTree*>& species,
                                        std::vector<UnrootedTree*>& gtree) {
  std::vector<SupportTable> tables;
  if (!longopt.support) return tables;
  // Every process draws the main process's resamples.
  const unsigned long seed = mainprocessvalue(runseed);
  for (RootedTree* S : species) {
    resolvegenes(*S, gtree);
    tables.push_back(nnisupports(*S, gtree, longopt.replicates, seed));
    std::cout << supportstable(*S, tables.back()) << std::flush;
  }
  return tables;
}
