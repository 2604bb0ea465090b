#pragma once
#include <chrono>
#include <string>

#include "trees/treeshape.h"

#include <vector>

class ByteReader;
class ByteWriter;
class RootedTree;
class SearchSteps;

// Where and how often a search saves itself, and where a resumed one comes from.
struct CheckpointSettings {
  std::string file;      // --checkpoint FILE; a resumed run goes on saving to its file
  double every = 300;    // --checkpoint-every SECONDS
  std::string resume;    // --resume FILE
  // The arguments of the run, less those a resumed run may change (--time-limit, --threads,
  // --progress and the checkpoint options): a checkpoint is resumed by the same command.
  std::string command;
};
extern CheckpointSettings checkpointing;

// A resumed run: the checkpoint is read, checked against the command, and the random
// generator set as it was; the search then starts on this tree, which has the saved shape.
// Fatal, with the reason, when the file cannot be resumed.
RootedTree* resumedtree();

// A search's start trees after the first (the tree it works on, saved with its node ids):
// their encodings, and back, in place of the starts a resumed search was given.
void savestarts(ByteWriter& out, const std::vector<RootedTree*>& starts);
void loadstarts(ByteReader& in, std::vector<RootedTree*>& starts);

// The checkpoints of one search (never of a --bootstrap replicate's).
class Checkpoints {
 public:
  explicit Checkpoints(char kind);
  bool on() const { return !checkpointing.file.empty(); }
  bool resuming() const { return !checkpointing.resume.empty(); }
  void load(SearchSteps& search);
  void mark(SearchSteps& search);
  bool due() const;
  void write(SearchSteps& search);

 private:
  char kind;
  TreeShape shape;
  unsigned long long draws = 0;
  std::chrono::steady_clock::time_point last;
};
