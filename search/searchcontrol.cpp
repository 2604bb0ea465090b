#include "search/searchcontrol.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sstream>

#include "store/searchstore.h"
#include "store/treerepr.h"
#include "parallel/processes.h"
#include "search/progress.h"

volatile int stopsignal = 0;
SearchOutcome searchoutcome;

namespace {
bool limited = false;
bool limitreached = false;  // a search or start ended because the limit came
double limitgiven = 0;
std::chrono::steady_clock::time_point deadline, graceend;

std::chrono::steady_clock::duration seconds(double s) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(s));
}
}  // namespace

void startsearchclock(double limitseconds) {
  limited = limitseconds >= 0;
  limitgiven = limitseconds;
  limitreached = false;
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
  pollprogress();
  bool stop = stopsignal || (limited && std::chrono::steady_clock::now() >= deadline);
  if (splitacrossprocesses()) stop = mainprocessdecides(stop);
  if (stop && !stopsignal) limitreached = true;
  return stop;
}

std::string searchendline() {
  std::ostringstream line;
  if (stopsignal == SIGINT || stopsignal == SIGTERM)
    line << "Search stopped by " << (stopsignal == SIGINT ? "SIGINT" : "SIGTERM");
  else if (stopsignal)
    line << "Search stopped by signal " << stopsignal;
  else if (limitreached)
    line << "Search stopped by the time limit after " << limitgiven << " s";
  else
    line << "OK. Search completed";
  return line.str();
}

void keepoptimal(const SearchStore& store) {
  searchoutcome.optimal.clear();
  searchoutcome.trees.clear();
  bool first = true;
  double least = 0;
  store.eachtree([&](double cost, const short* enc, int len) {
    if (first) least = cost;
    first = false;
    if (cost != least) return;
    TreeRepr r(const_cast<short*>(enc), len, cost);
    searchoutcome.optimal.emplace_back(cost, to_string(r));
    searchoutcome.trees.push_back(reprpostorder(r));
  });
  searchoutcome.done = true;
}
