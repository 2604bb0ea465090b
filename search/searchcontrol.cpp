#include "search/searchcontrol.h"

#include <chrono>

#include "store/arrtab.h"
#include "store/treerepr.h"

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

bool searchstop() {
  if (stopsignal) return true;
  return limited && std::chrono::steady_clock::now() >= deadline;
}

void keepoptimal(ArrTab& store) {
  searchoutcome.optimal.clear();
  if (!store.tab.empty())
    for (TreeRepr* r : store.tab.begin()->second)
      searchoutcome.optimal.emplace_back(r->cost, to_string(*r));
  searchoutcome.done = true;
}
