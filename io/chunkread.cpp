#include "io/chunkread.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "parallel/pool.h"
#include "trees/fatal.h"
#include "trees/multigene.h"
#include "trees/unrootedtree.h"

size_t readchunkbytes = 4096;

namespace {

// Offset just after the line end at or after p, or the end of the text.
size_t afterline(const InputText& in, size_t p) {
  if (p >= in.size) return in.size;
  const void* nl = memchr(in.text + p, '\n', in.size - p);
  return nl ? static_cast<const char*>(nl) - in.text + 1 : in.size;
}

// Whether the line that ends just before p (p > 0, after a '\n') ends with ';' and blanks.
bool aftersemicolon(const InputText& in, size_t p) {
  size_t q = p - 1;
  while (q > 0 && isinputblank(in.text[q - 1])) q--;
  return q > 0 && in.text[q - 1] == ';';
}

}  // namespace

std::vector<ReadChunk> cutchunks(const InputText& in, bool semicolons) {
  const size_t minbytes = std::max<size_t>(readchunkbytes, 1);
  // Several chunks per thread, taken in turn: a thread slowed by other work holds back little.
  size_t count = std::min<size_t>(static_cast<size_t>(threadcount()) * 16, in.size / minbytes);
  std::vector<ReadChunk> chunks;
  if (threadcount() < 2 || count < 2) return chunks;
  size_t begin = 0;
  for (size_t k = 1; k <= count && begin < in.size; k++) {
    size_t end = in.size;
    if (k < count) {
      end = afterline(in, std::max(begin + 1, in.size / count * k));
      // A tree that spans lines ends with ';': a cut after such a line keeps the tree whole.
      if (semicolons) {
        size_t look = end;
        for (int lines = 0; lines < 64 && look < in.size && !aftersemicolon(in, look); lines++)
          look = afterline(in, look);
        if (look < in.size && aftersemicolon(in, look)) end = look;
      }
    }
    ReadChunk c;
    c.begin = begin;
    c.end = end;
    chunks.push_back(std::move(c));
    begin = end;
  }
  return chunks;
}

void readchunks(std::vector<ReadChunk>& chunks, const std::function<void(ReadChunk&)>& read) {
  std::atomic<size_t> next{0};
  int parts = static_cast<int>(std::min<size_t>(threadcount(), chunks.size()));
  runparts(parts, [&](int) {
    quietparse = true;
    // Every chunk is read, even after one that failed: a Newick chunk fails whenever it began
    // inside a tree, and the chunks after it are good.
    for (size_t k; (k = next.fetch_add(1)) < chunks.size();) {
      localspecies = &chunks[k].species;
      read(chunks[k]);
      localspecies = nullptr;
    }
    quietparse = false;
  });
}

void takechunk(ReadChunk& c, size_t ntrees, size_t nnames, std::vector<UnrootedTree*>& out) {
  std::vector<short> id(nnames);
  for (size_t i = 0; i < nnames; i++)
    id[i] = static_cast<short>(registerspecies(c.species.names[i]));
  for (size_t i = 0; i < ntrees; i++) {
    UnrootedTree* G = c.trees[i];
    for (int v = 0; v < G->leaves; v++) G->lab[v] = id[G->lab[v]];
    out.push_back(G);
  }
  c.trees.erase(c.trees.begin(), c.trees.begin() + ntrees);
  dropchunk(c);
}

void dropchunk(ReadChunk& c) {
  for (UnrootedTree* G : c.trees) {
    dropmultiform(G);
    delete G;
  }
  c.trees.clear();
}
