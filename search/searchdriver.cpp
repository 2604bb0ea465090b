#include "search/searchdriver.h"

#include <iostream>

#include "reconcile/costformat.h"
#include "search/checkpoint.h"
#include "search/searchcontrol.h"
#include "store/searchstore.h"

void stepline(int step, double current, double optimal, double best) {
  std::cout << step << ". " << costtext(current) << "/" << costtext(optimal) << "/"
            << costtext(best) << ". Searching" << std::flush;
}

void stepend(long processed, long newtrees, StepEnd how) {
  std::cout << " (" << processed << " processed/" << newtrees << " new trees)";
  if (how == StepEnd::Stopped)
    std::cout << " stopped" << std::endl;
  else if (how == StepEnd::Improved)
    std::cout << " new optimal found :)" << std::endl;
  else
    std::cout << " no improvement" << std::endl;
}

void finishsearch(long moves, const SearchStore& store, bool save) {
  std::cout << searchendline() << std::endl;
  std::cout << "Number of NNI's:" << moves << std::endl;
  std::cout << "Unique trees:" << store.unique() << std::endl;
  std::cout << "Optimal cost:" << costtext(store.optimal()) << std::endl;
  std::cout << "Number of optimal trees:" << store.optcount() << std::endl;
  keepoptimal(store);
  if (save) savestore(store);
}

void drivesearch(SearchSteps& search, char kind, bool checkpoints) {
  Checkpoints saver(kind);
  checkpoints = checkpoints && saver.on();
  if (checkpoints) {
    if (saver.resuming()) saver.load(search);
    saver.mark(search);  // a search stands at a boundary before its first step
  }
  for (;;) {
    SearchSteps::At at = search.advance();
    if (at == SearchSteps::At::Done) return;
    if (at == SearchSteps::At::Ending) {
      // A finished search is saved as finished; a stopped one as it stood at its last
      // boundary, with everything it met since, so that resuming redoes the cut step.
      if (!checkpoints) continue;
      if (!search.stopped()) saver.mark(search);
      saver.write(search);
      continue;
    }
    if (!checkpoints) continue;
    saver.mark(search);
    if (saver.due()) saver.write(search);
  }
}
