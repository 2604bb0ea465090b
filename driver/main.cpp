#include <vector>

#include "driver/costreport.h"
#include "driver/genesources.h"
#include "driver/options.h"
#include "driver/reconoutputs.h"
#include "driver/runmode.h"
#include "driver/supports.h"
#include "driver/longopts.h"
#include "trees/fatal.h"
#include "initial/randomtree.h"
#include "parallel/processes.h"

int main(int argc, char** argv) {
  Options opt;
  std::vector<RootedTree*> stree;
  std::vector<UnrootedTree*> gtree;
  startprocesses(argc, argv);
  readoptions(argc, argv, opt, stree, gtree);
  runseed = startparallelwork(longopt.threads, longopt.seedgiven, runseed);
  // Collections named by other programs' files: a missing species is named with its place.
  if (anyspeciesnames && (opt.costreport || opt.search))
    for (RootedTree* S : stree) checkgenespecies(*S, gtree);
  if (longopt.bootstrap > 0 && !searchruns(opt))
    fatal("--bootstrap needs -Y: each replicate collection is searched as the collection was");
  if ((!longopt.checkpoint.empty() || !longopt.resume.empty()) && !searchruns(opt))
    fatal("--checkpoint and --resume save and continue a search: give -Y");
  savelog(opt.line);
  printtrees(opt, stree, gtree);
  if (opt.costreport) costreport(opt, stree, gtree);
  // The given species trees before a run mode adds (-w, -Y) or moves (-N) any; a search writes
  // them for the best tree it found.
  if (longopt.support && !opt.costreport && !searchruns(opt))
    fatal("--support needs -b (the given species trees) or -Y (the best tree found)");
  std::vector<SupportTable> supports;
  if (opt.costreport) supports = supportreport(stree, gtree);
  if (!searchruns(opt)) reconoutputs(stree, gtree, supports);
  runmode(opt, stree, gtree);
  return 0;
}
