#include "trees/listfiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trees/fatal.h"
#include "trees/genemap.h"
#include "trees/rootedtree.h"
#include "trees/tokenizer.h"
#include "trees/unrootedtree.h"

namespace {

// Closed and freed by its destructor, so a test build that unwinds from a fatal error keeps
// no descriptor open.
struct LineReader {
  FILE* f = nullptr;
  char* line = nullptr;
  size_t cap = 0;
  ~LineReader() {
    free(line);
    if (f) fclose(f);
  }
};

// Calls make(line) for every line of the file, line end included; lines of any length are
// read whole, never split.
template <class Make>
void readlines(const char* fname, Make make) {
  LineReader r;
  r.f = fopen(fname, "r");
  if (!r.f) fatal(std::string("Cannot open file ") + fname);
  initlinenuminfo(fname);
  ssize_t len;
  while ((len = getline(&r.line, &r.cap, r.f)) >= 0) {
    // A NUL byte would silently cut the tree text short.
    if (strlen(r.line) != static_cast<size_t>(len))
      fatal(std::string(fname) + ":" + std::to_string(linenum) + ": NUL byte in the line");
    make(r.line);
  }
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
  genelistfile = fname;
  readlines(fname, [&](char* line) { gtree.push_back(new UnrootedTree(line)); });
  genelistfile = nullptr;
}
