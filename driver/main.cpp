#include <vector>

#include "driver/costreport.h"
#include "driver/options.h"
#include "driver/reconoutputs.h"
#include "driver/runmode.h"
#include "parallel/processes.h"

int main(int argc, char** argv) {
  Options opt;
  std::vector<RootedTree*> stree;
  std::vector<UnrootedTree*> gtree;
  startprocesses(argc, argv);
  readoptions(argc, argv, opt, stree, gtree);
  startparallelwork();
  savelog(opt.line);
  printtrees(opt, stree, gtree);
  if (opt.costreport) costreport(opt, stree, gtree);
  // The given species trees before a run mode adds (-w, -Y) or moves (-N) any; a search writes
  // them for the best tree it found.
  if (!searchruns(opt)) reconoutputs(stree, gtree);
  runmode(opt, stree, gtree);
  return 0;
}
