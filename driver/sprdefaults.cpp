#include "driver/sprdefaults.h"

#include <algorithm>

// Measured: guigo16 (16 species, 247 gene leaves) needs many starts, each of milliseconds;
// treefam25 (25, 40520) reaches its best tree from one start; plants83 (83, 1.29 million)
// spends about 18 s on a start and its near climb (3 s of them building it) and gains from
// fusing as many as the time limit allows.
namespace {
constexpr int maxstarts = 24;
// Without a time limit, the starts share this many species-squared gene leaves of work.
constexpr double startswork = 6e6;
// Seconds of one start and its near climb per species-squared gene leaf, with room for the
// final climb of the fused tree (plants83: about 18 s for 8.9e9, counted as 27).
constexpr double secondsperwork = 3e-9;
// Beyond this many species a stepwise-addition start is built only when it is likely to take
// at most half the time limit (without one, at most nolimitstart seconds); else the start is
// a quasi-consensus tree, whose cost does not grow with species times gene leaves.
constexpr size_t consensusspecies = 300;
constexpr double nolimitstart = 600;
// CPU seconds of one priced stepwise-addition start per species x gene leaf (1000 species
// and 4.3 million gene leaves: 78 s; plants83: 2.8 s).
constexpr double startsecondsperwork = 2e-8;
}  // namespace

SprDefaults sprdefaultsfor(size_t species, long long geneleaves, double timelimit) {
  SprDefaults d;
  // The steps from waiting trees after a climb found nothing on any of the data above, and
  // each costs a whole SPR neighbourhood.
  d.steps = 0;
  const double start = startsecondsperwork * static_cast<double>(species) *
                       static_cast<double>(geneleaves);
  if (species > consensusspecies && start > (timelimit > 0 ? timelimit / 2 : nolimitstart)) {
    d.consensus = 1;
    return d;
  }
  const double n = static_cast<double>(species);
  const double work = std::max(1.0, n * n * static_cast<double>(geneleaves));
  d.greedy = static_cast<int>(std::clamp(startswork / work, 1.0, double{maxstarts}));
  // Large data: as many starts as the time limit is likely to allow, fused.
  if (d.greedy == 1 && timelimit > 0) {
    const double affordable = timelimit / (secondsperwork * work);
    d.greedy = static_cast<int>(std::clamp(affordable, 1.0, double{maxstarts}));
    d.fuse = d.greedy > 1;
  }
  // One climb over the whole neighbourhood: pricing first ends treefam25 in the same tree in
  // 1.2 s for each of 5 seeds where the walk takes 1.1 to 2.2 s. Many small starts do without
  // it (it left guigo16 at 265 in 2 seeds of 20), and fusing was measured without it.
  d.priced = d.greedy == 1 && !d.fuse;
  return d;
}
