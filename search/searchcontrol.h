#pragma once
#include <string>
#include <utility>
#include <vector>

// When a search stops early: a stop signal (SIGINT, SIGTERM) or the time limit. Searches poll
// searchstop() at their step boundaries and between moves, then report and save as a finished
// search does.
void startsearchclock(double limitseconds);  // a negative limit: none
bool searchstop();
// Past the limit by a tenth of it (half a second at least), or asked to stop by a signal: the
// work that follows a stopped search (costing its trees exactly) ends too.
bool searchovertime();
extern volatile int stopsignal;  // the signal that asked for the stop, 0 none
// The first line of a search's final report: "OK. Search completed", or why it stopped early
// ("Search stopped by the time limit after N s", "Search stopped by SIGINT").
std::string searchendline();

// What a finished (or stopped) search leaves for the outputs that follow it: the optimal trees
// found, as tree text, with their cost, in the order the store lists them.
struct SearchOutcome {
  std::vector<std::pair<double, std::string>> optimal;
  std::vector<std::vector<int>> trees;  // the same trees as postorders (io/newick.h)
  bool done = false;
};
extern SearchOutcome searchoutcome;

class SearchStore;
// Fills searchoutcome from the store's cheapest trees.
void keepoptimal(const SearchStore& store);
