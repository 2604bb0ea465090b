#pragma once
#include <string>
#include <vector>

class RootedTree;
class UnrootedTree;

extern int nniconstrees;    // -q, -w
extern int nnirandomtrees;  // -r

struct Options {
  bool printgenes = false;    // -p
  bool printspecies = false;  // -P
  bool search = false;        // -Y
  bool nodetables = false;    // -x
  bool costreport = false;    // -b
  bool showtrees = false;     // -a, -A
  bool showcostpair = false;  // -o
  bool showrooting = false;   // -O
  bool rootingreport = false; // -X
  bool totalcost = false;     // -c, -y
  bool totalpair = false;     // -C
  bool explore = false;       // -N
  bool tester = false;        // -Z
  bool tester2 = false;       // -J
  bool consensus = false;     // -w
  bool stepsgiven = false;    // -j
  int nninum = 0;             // -N number
  int costcode = 0;           // -X code
  int ladder = 0;             // -X leading "l"
  std::string line;           // the invocation line of the log
};

void readoptions(int argc, char** argv, Options& opt, std::vector<RootedTree*>& stree,
                 std::vector<UnrootedTree*>& gtree);
[[noreturn]] void usage(int argc, char** argv);
[[noreturn]] void help();
[[noreturn]] void version();
std::string quoted(const char* s);
// The seed of the random generator in this run: --seed, or taken from the clock.
extern unsigned runseed;
void savelog(const std::string& line);
void printtrees(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree);
