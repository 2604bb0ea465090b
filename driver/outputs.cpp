#include "driver/outputs.h"

#include <csignal>
#include <iostream>

#include "driver/longopts.h"
#include "io/savefile.h"
#include "output/supportfiles.h"
#include "search/searchcontrol.h"
#include "trees/fatal.h"

std::string outputname(const std::string& suffix) {
  return outprefix.empty() ? std::string() : outprefix + suffix;
}

static std::string bestname() {
  return longopt.bestfile.empty() ? outputname(".best.nwk") : longopt.bestfile;
}

void checkoutputs() {
  if (!outprefix.empty()) checknamed(outputname(".kv.txt"));
  if (!bestname().empty()) checknamed(bestname());
}

void writebest(const std::vector<RootedTree*>& species, const std::vector<SupportTable>& supports) {
  std::string name = bestname();
  if (name.empty()) return;
  std::string text;
  if (!supports.empty()) {
    for (size_t i = 0; i < supports.size(); i++) text += supportnewick(*species[i], supports[i]);
    writenamed(name, text);
    return;
  }
  for (auto& tree : searchoutcome.optimal) text += tree.second + ";\n";
  writenamed(name, text);
}

static void onstop(int sig) { stopsignal = sig; }

void catchstopsignals() {
  struct sigaction sa = {};
  sa.sa_handler = onstop;
  sigemptyset(&sa.sa_mask);
  // Writes under way go on (SA_RESTART); the handler is gone after one signal (SA_RESETHAND).
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
}

void endifinterrupted() {
  int sig = stopsignal;
  if (!sig) return;
  std::cerr << "Search interrupted" << std::endl;
  kelvoraexit(128 + sig);
}
