#pragma once
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

// Species ids are stored as 16-bit signed values in trees.
constexpr int MAXSPECIES = 32767;

extern std::vector<std::string> specnames;
extern std::map<std::string, int> specnames2id;

// Leaf-label extraction rule for gene trees (-l): 0 none, 1 position, 2 middle field, 3 prefix,
// 4 prefix up to the last delimiter.
extern int gsid;
extern char* gsdelim;
extern int gspos;

int getspecies(char* text, int len);
int registerspecies(const std::string& name);

// Species names met by one worker thread, numbered in the order it met them. While a thread
// has one (localspecies), registerspecies numbers names there; the main thread then gives
// the names their ids in reading order and renumbers the thread's trees.
struct LocalSpecies {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> ids;
};
extern thread_local LocalSpecies* localspecies;

// Species id of a label under the current -l rule alone, or -1 when the rule finds none.
int gsfind(const char* label, int len);

// Under --newick, names in the trees printed for the user are quoted where Newick needs it:
// names the plain reader accepts never are, so they print as before.
extern bool quotenames;
std::string newickquoted(const std::string& name);  // quoted when it holds blanks or ()[]':;,
// Species name s as the printed trees write it.
inline std::string printname(int s) {
  return quotenames ? newickquoted(specnames[s]) : specnames[s];
}
