#include "trees/listfiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/tokenizer.h"
#include "trees/unrootedtree.h"

namespace {

// Calls make(line) for every line of the file, line end included; lines of any length are
// read whole, never split.
template <class Make>
void readlines(const char* fname, Make make) {
  FILE* f = fopen(fname, "r");
  if (!f) fatal(std::string("Cannot open file ") + fname);
  initlinenuminfo(fname);
  char* line = nullptr;
  size_t cap = 0;
  while (getline(&line, &cap, f) >= 0) make(line);
  free(line);
  fclose(f);
}

}  // namespace

void readstree(const char* fname, std::vector<RootedTree*>& stree) {
  readlines(fname, [&](char* line) {
    if (strstr(line, ".raw")) {
      // A line naming a raw file: its line end and trailing blanks are not part of the name.
      size_t n = strlen(line);
      while (n > 0 && isblankchar(line[n - 1])) line[--n] = 0;
    }
    stree.push_back(new RootedTree(line));
  });
}

void readgtree(const char* fname, std::vector<UnrootedTree*>& gtree) {
  readlines(fname, [&](char* line) { gtree.push_back(new UnrootedTree(line)); });
}
