#include "driver/runmode.h"

void runmode(Options&, std::vector<RootedTree*>&, std::vector<UnrootedTree*>&) {}
