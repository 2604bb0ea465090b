#include "search/searchcontrol.h"

#include <algorithm>
#include <chrono>

#include "store/arrtab.h"
#include "store/treerepr.h"
#include "parallel/processes.h"

volatile int stopsignal = 0;
SearchOutcome searchoutcome;

namespace {
bool limited = false;
std::chrono::steady_clock::time_point deadline, graceend;

std::chrono::steady_clock::duration seconds(double s) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(s));
}
}  // namespace

void startsearchclock(double limitseconds) {
  limited = limitseconds >= 0;
  if (limited) {
    deadline = std::chrono::steady_clock::now() + seconds(limitseconds);
    graceend = deadline + seconds(std::max(0.5, 0.1 * limitseconds));
  }
}

bool searchovertime() {
  bool over = stopsignal || (limited && std::chrono::steady_clock::now() >= graceend);
  return splitacrossprocesses() ? mainprocessdecides(over) : over;
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
