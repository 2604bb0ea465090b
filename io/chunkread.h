#pragma once
#include <cstddef>
#include <functional>
#include <vector>

#include "io/inputtext.h"
#include "trees/species.h"

class UnrootedTree;

// A gene-tree list file read on the threads of the pool (--threads). The text is cut into
// chunks at line starts; each thread parses whole chunks quietly (trees/fatal.h), naming
// species in a table of its chunk. The main thread then takes the chunks in file order,
// gives their species ids in the order a one-thread read meets them and renumbers the trees.
// From the first tree that a chunk could not read (a bad tree, or a chunk that began inside
// a tree) the main thread reads on alone, as a one-thread run does, so that the trees, the
// species ids and every message are the same bytes as with one thread.
struct ReadChunk {
  size_t begin = 0, end = 0;  // the chunk's trees are those that start in [begin, end)
  std::vector<UnrootedTree*> trees;
  LocalSpecies species;
  // Newick: where the chunk's first tree starts, and where the first tree after the chunk
  // starts as read on from the chunk's last tree.
  size_t first = 0, next = 0;
  bool failed = false;
  size_t failat = 0;       // where the one-thread reader must start again
  size_t namesbefore = 0;  // species of the chunk met before the tree that failed
  long small = 0;          // trees left out for fewer than three leaves, before any failure
};

// Smallest chunk worth a thread's wake-up; tests make it tiny.
extern size_t readchunkbytes;

// Chunks of in for the threads, each starting at a line start (after a line ending in ';'
// where one is near, when semicolons). Fewer than two when the text is too small to share.
std::vector<ReadChunk> cutchunks(const InputText& in, bool semicolons);

// Runs read(chunk) for each chunk on the threads, with quiet parsing and the chunk's species
// table. read marks the chunk failed at the first tree it cannot read and stops there.
void readchunks(std::vector<ReadChunk>& chunks, const std::function<void(ReadChunk&)>& read);

// Appends the first ntrees trees of c to out, after giving the first nnames species of c
// their ids in order and renumbering the leaves; frees the trees of c that are not taken.
void takechunk(ReadChunk& c, size_t ntrees, size_t nnames, std::vector<UnrootedTree*>& out);

// Frees the trees of chunks that are not taken.
void dropchunk(ReadChunk& c);
