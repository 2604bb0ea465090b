#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A 128-bit fingerprint of a rooted species tree: the sum, over its clades, of a mixed hash
// of each clade's species set. An NNI changes exactly one clade, so the fingerprint follows a
// move in constant time, and equal trees get equal fingerprints whatever their node ids.
struct Fingerprint {
  uint64_t hi = 0, lo = 0;
  bool operator==(const Fingerprint& o) const { return hi == o.hi && lo == o.lo; }
  bool operator!=(const Fingerprint& o) const { return !(*this == o); }
};

class RootedTree;
class ByteWriter;
class ByteReader;

// A 64-bit mix with good avalanche, for hashing ids.
uint64_t splitmix(uint64_t x);

class CladeHashes {
 public:
  // Hashes of every clade of S and the tree's fingerprint, from scratch.
  void build(RootedTree& S);
  // Node v's children changed (an NNI whose lower node is v): its clade hash and the
  // fingerprint follow.
  void changed(RootedTree& S, short v);
  Fingerprint fingerprint() const { return fp; }

 private:
  std::vector<Fingerprint> clade;  // XOR of the species keys below each node
  Fingerprint fp;
};

// The fingerprints met so far: open addressing on 16-byte slots, so memory grows with the
// number of trees and nothing else.
class FingerprintSet {
 public:
  // True when fp was not in the set (and is now).
  bool insert(const Fingerprint& fp);
  bool contains(const Fingerprint& fp) const;
  size_t size() const { return count; }
  // The set as it is, slots and all, and back (checkpoints).
  void save(ByteWriter& out) const;
  void load(ByteReader& in);

 private:
  std::vector<Fingerprint> slots;  // an all-zero slot is empty; a zero fingerprint is kept apart
  size_t count = 0;
  bool haszero = false;
  void grow();
};
