#include <vector>

#include "driver/costreport.h"
#include "driver/options.h"
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
  runmode(opt, stree, gtree);
  return 0;
}
