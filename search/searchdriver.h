#pragma once

class ByteWriter;
class ByteReader;
class RootedTree;
class SearchStore;

// A species-tree search (NNI, SPR) as one driver runs it: a machine that goes from one step
// boundary to the next. At a boundary the search can be saved and later go on from there as
// if it had never stopped; the driver decides when (checkpoints).
class SearchSteps {
 public:
  virtual ~SearchSteps() = default;
  enum class At { Boundary, Ending, Done };
  // Runs to the next step boundary; or, when the search's work is over, returns Ending (its
  // final report comes next); or, after the report, Done.
  virtual At advance() = 0;
  // The tree the search works on.
  virtual RootedTree& tree() = 0;
  // At a boundary: notes where the search stands, for a checkpoint written before the next.
  virtual void mark() = 0;
  // Whether the search ended early (a stop signal or the time limit).
  virtual bool stopped() const = 0;
  // The marked state with the store as it is now; and back, into a search made anew from the
  // same arguments whose tree has the marked shape (resumedtree()).
  virtual void save(ByteWriter& out) const = 0;
  virtual void load(ByteReader& in) = 0;
};

// The lines every search prints: the start of a step, its end, and the final report.
void stepline(int step, double current, double optimal, double best);
enum class StepEnd { Stopped, Improved, Unimproved };
void stepend(long processed, long newtrees, StepEnd how);
// The final report, the optimal trees kept for the outputs that follow, and the store's file
// unless save is false (a --bootstrap replicate).
void finishsearch(long moves, const SearchStore& store, bool save);

// Runs the search through its report. With checkpoints, a resumed search first loads its
// state, and the state is written at boundaries (at most every --checkpoint-every seconds)
// and once more when the search ends, stopped or not. kind tells the searches' files apart.
void drivesearch(SearchSteps& search, char kind, bool checkpoints);
