#include "search/progress.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "parallel/processes.h"

namespace {

using Clock = std::chrono::steady_clock;
// Often enough to show life, seldom enough for a log of a day's run to stay short.
constexpr double progressevery = 5;

bool shown = false;
Clock::time_point begun, lastline;
long lastmoves = 0;
long moves = 0;
double best = 0;
bool searching = false;
int placed = 0, of = 0;

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

void startprogress(bool on) {
  shown = on && mainprocess();
  begun = lastline = Clock::now();
  lastmoves = moves = 0;
  searching = false;
  placed = of = 0;
}

void progresssearch(long m, double b) {
  moves = m;
  best = b;
  searching = true;
  of = 0;
}

void progressplacing(int p, int n) {
  placed = p;
  of = n;
  searching = false;
}

void pollprogress() {
  if (!shown || (!searching && of == 0)) return;
  const double interval = since(lastline);
  if (interval < progressevery) return;
  char elapsed[32];
  snprintf(elapsed, sizeof elapsed, "%.0f", since(begun));
  std::cerr << "kelvora: " << elapsed << " s";
  if (searching) {
    if (moves < lastmoves) lastmoves = 0;  // another search's count (a replicate's)
    char rate[32];
    snprintf(rate, sizeof rate, "%.0f", (moves - lastmoves) / interval);
    // In full: the line is read by people watching a cost fall in its last digits.
    char cost[64];
    snprintf(cost, sizeof cost, best == std::floor(best) ? "%.0f" : "%.6f", best);
    std::cerr << ", best " << cost << ", " << rate << " moves/s";
    lastmoves = moves;
  } else {
    std::cerr << ", start tree: " << placed << " of " << of << " species placed";
  }
  std::cerr << std::endl;
  lastline = Clock::now();
}
