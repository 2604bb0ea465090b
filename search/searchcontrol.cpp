#include "search/searchcontrol.h"

#include <chrono>

#include "store/arrtab.h"
#include "store/treerepr.h"
#include "parallel/processes.h"

volatile int stopsignal = 0;
SearchOutcome searchoutcome;

namespace {
bool limited = false;
std::chrono::steady_clock::time_point deadline;
}  // namespace

void startsearchclock(double limitseconds) {
  limited = limitseconds >= 0;
  if (limited)
    deadline = std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(limitseconds));
}

// Under MPI the main process decides, so that every process leaves the search at the same move.
// A search on all gene trees in each process (a bootstrap replicate) decides alone.
bool searchstop() {
  bool stop = stopsignal || (limited && std::chrono::steady_clock::now() >= deadline);
  return splitacrossprocesses() ? mainprocessdecides(stop) : stop;
}

void keepoptimal(ArrTab& store) {
  searchoutcome.optimal.clear();
  searchoutcome.trees.clear();
  if (!store.tab.empty())
    for (TreeRepr* r : store.tab.begin()->second) {
      searchoutcome.optimal.emplace_back(r->cost, to_string(*r));
      searchoutcome.trees.push_back(reprpostorder(*r));
    }
  searchoutcome.done = true;
}
