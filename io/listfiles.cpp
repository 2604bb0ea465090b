#include "io/listfiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "io/chunkread.h"
#include "io/genemap.h"
#include "io/inputtext.h"
#include "io/tokenizer.h"
#include "parallel/pool.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
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

// A NUL byte would silently cut the tree text short.
void checkline(const char* fname, const char* line, size_t len) {
  if (strlen(line) != len)
    fatal(std::string(fname) + ":" + std::to_string(linenum) + ": NUL byte in the line");
}

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
    checkline(fname, r.line, static_cast<size_t>(len));
    make(r.line);
  }
}

// Offset just after the line end at or after p, or the end of the text.
size_t lineafter(const InputText& in, size_t p) {
  const void* nl = memchr(in.text + p, '\n', in.size - p);
  return nl ? static_cast<const char*>(nl) - in.text + 1 : in.size;
}

// readgtree on the threads: the whole file in memory, its chunks of lines parsed quietly,
// then from the first line that failed on, line by line as readlines does.
void readgtreechunks(const char* fname, std::vector<UnrootedTree*>& gtree) {
  InputFile buf;
  InputText in;
  if (!loadinputfile(fname, buf, in)) fatal(std::string("Cannot open file ") + fname);
  std::vector<ReadChunk> chunks = cutchunks(in, false);
  readchunks(chunks, [&](ReadChunk& c) {
    std::string line;
    for (size_t p = c.begin; p < c.end;) {
      size_t end = lineafter(in, p);
      line.assign(in.text + p, end - p);
      size_t names = c.species.names.size();
      try {
        if (memchr(line.data(), 0, line.size())) throw QuietFailure();
        c.trees.push_back(new UnrootedTree(&line[0]));
      } catch (QuietFailure&) {
        c.failed = true;
        c.failat = p;
        c.namesbefore = names;
        return;
      }
      p = end;
    }
  });
  size_t resume = chunks.empty() ? 0 : in.size;
  size_t k = 0;
  for (; k < chunks.size(); k++) {
    ReadChunk& c = chunks[k];
    takechunk(c, c.trees.size(), c.failed ? c.namesbefore : c.species.names.size(), gtree);
    if (c.failed) {
      resume = c.failat;
      break;
    }
  }
  for (; k < chunks.size(); k++) dropchunk(chunks[k]);
  // The main thread read chunks too, on its own counters: they start again here.
  initlinenuminfo(fname);
  passlines(in.text, 0, resume);
  std::string line;
  for (size_t p = resume; p < in.size;) {
    size_t end = lineafter(in, p);
    line.assign(in.text + p, end - p);
    checkline(fname, line.c_str(), line.size());
    gtree.push_back(new UnrootedTree(&line[0]));
    p = end;
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
  if (threadcount() > 1)
    readgtreechunks(fname, gtree);
  else
    readlines(fname, [&](char* line) { gtree.push_back(new UnrootedTree(line)); });
  genelistfile = nullptr;
}
