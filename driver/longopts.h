#pragma once
#include <string>
#include <vector>

// Settings of the long options (--name). They are read before the short options, so a long
// option applies to the whole command line wherever it stands. A setting that a lower folder
// reads lives there alone and the option sets it there: --exact (exactcosts), --out and
// --force (outprefix, replacefiles), --outgroup (speciesoutgroup), --collapse (collapsebelow).
struct LongOptions {
  // Search.
  bool spr = false;          // --spr: SPR neighbourhoods in -Y
  int greedy = -1;           // --greedy NUM: stepwise-addition starts (-1: not given)
  bool seedgiven = false;    // --seed N
  unsigned long seed = 0;
  double timelimit = -1;     // --time-limit SECONDS (-1: none)
  long keep = -1;            // --keep N: trees kept by the store (-1: default of the search)
  long perturb = 0;          // --perturb N: rounds of random moves and climbs after --spr
  bool fuse = false;         // --fuse: fuse the local optima of the --spr starts
  bool priced = false;       // --priced: an --spr step prices every regraft first
  // Long runs.
  std::string checkpoint;    // --checkpoint FILE
  double checkpointevery = 300;  // --checkpoint-every SECONDS
  std::string resume;        // --resume FILE
  bool progress = false;     // --progress
  // Parallel work.
  int threads = 1;           // --threads N (0: all cores)
  // Input.
  bool newick = false;       // --newick
  std::vector<std::string> mapfiles;  // --map FILE, each
  std::string familiesfile;           // --families FILE
  // Output.
  std::string bestfile;      // --best FILE
  std::string eventsprefix;  // --events PREFIX
  std::string reconciledfile;       // --reconciled FILE
  std::string reconciledformat = "nhx";  // --reconciled-format nhx|recphyloxml
  // Supports.
  bool support = false;      // --support
  long replicates = 1000;    // --replicates B: resamples of --support
  long bootstrap = 0;        // --bootstrap N: replicate collections searched after -Y
  // Text for the invocation log: the long options as given.
  std::string line;
  // The same less the options a resumed run may change (time limit, threads, progress,
  // checkpoints): what a checkpoint is resumed by.
  std::string resumeline;
};

extern LongOptions longopt;

// Takes every "--name" argument (and its value) out of argv, sets its setting, and leaves the
// short options for getopt. "--help" and "--version" print and exit. An unknown long option
// or a bad value is a fatal error.
void readlongoptions(int& argc, char** argv);
