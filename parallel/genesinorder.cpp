#include "parallel/genesinorder.h"

#include <sstream>

#include "parallel/geneshare.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

DlCost eachgeneinorder(RootedTree& S, std::vector<UnrootedTree*>& genes, std::ostream& to,
                       const std::function<DlCost(UnrootedTree& G, std::ostream& out)>& body) {
  const GeneShare& share = geneshare(genes);
  DlCost total(0, 0);
  if (share.parts() <= 1 || !mapsall(S, genes, share.lo, share.hi)) {
    for (int g = share.lo; g < share.hi; g++) total = total + body(*genes[g], to);
    return total;
  }
  readyforthreads(S);
  std::vector<std::ostringstream> text(share.parts());
  std::vector<DlCost> sums(share.parts(), DlCost(0, 0));
  forblocks(share, [&](int t, int lo, int hi) {
    DlCost sum(0, 0);
    for (int g = lo; g < hi; g++) sum = sum + body(*genes[g], text[t]);
    sums[t] = sum;
  });
  for (int t = 0; t < share.parts(); t++) {
    to << text[t].str();
    total = total + sums[t];
  }
  to.flush();
  return total;
}
