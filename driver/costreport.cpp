#include "driver/costreport.h"

void costreport(Options&, std::vector<RootedTree*>&, std::vector<UnrootedTree*>&) {}
