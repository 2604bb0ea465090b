#include "store/fingerprint.h"

#include "store/bytes.h"

#include "trees/postorder.h"
#include "trees/rootedtree.h"

uint64_t splitmix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

namespace {

Fingerprint specieskey(short s) {
  uint64_t k = static_cast<uint64_t>(static_cast<uint16_t>(s));
  return Fingerprint{splitmix(k * 2 + 1), splitmix(k * 2 + 0x5bd1e995ULL)};
}

// Clade sets are XORs of keys, which is linear; the mix makes the sum over clades nonlinear
// in them, so two different sets of clades do not cancel.
Fingerprint mix(const Fingerprint& h) {
  return Fingerprint{splitmix(h.hi ^ (h.lo << 17 | h.lo >> 47)), splitmix((h.lo + 0x632be59bd9b4e019ULL) ^ h.hi)};
}

void add(Fingerprint& a, const Fingerprint& b) {
  a.hi += b.hi;
  a.lo += b.lo;
}

void subtract(Fingerprint& a, const Fingerprint& b) {
  a.hi -= b.hi;
  a.lo -= b.lo;
}

}  // namespace

void CladeHashes::build(RootedTree& S) {
  clade.assign(S.total, Fingerprint());
  fp = Fingerprint();
  speciespostorder(S, S.root, [&](short v, int) {
    if (v < S.leaves) {
      clade[v] = specieskey(S.lab[v]);
    } else {
      const Fingerprint& l = clade[S.son[v - S.leaves]];
      const Fingerprint& r = clade[S.son[v]];
      clade[v] = Fingerprint{l.hi ^ r.hi, l.lo ^ r.lo};
      add(fp, mix(clade[v]));
    }
  });
}

void CladeHashes::changed(RootedTree& S, short v) {
  subtract(fp, mix(clade[v]));
  const Fingerprint& l = clade[S.son[v - S.leaves]];
  const Fingerprint& r = clade[S.son[v]];
  clade[v] = Fingerprint{l.hi ^ r.hi, l.lo ^ r.lo};
  add(fp, mix(clade[v]));
}

bool FingerprintSet::contains(const Fingerprint& fp) const {
  if (fp.hi == 0 && fp.lo == 0) return haszero;
  if (slots.empty()) return false;
  size_t mask = slots.size() - 1;
  for (size_t i = fp.lo & mask;; i = (i + 1) & mask) {
    if (slots[i] == fp) return true;
    if (slots[i].hi == 0 && slots[i].lo == 0) return false;
  }
}

bool FingerprintSet::insert(const Fingerprint& fp) {
  if (fp.hi == 0 && fp.lo == 0) {
    if (haszero) return false;
    haszero = true;
    count++;
    return true;
  }
  if ((count + 1) * 10 >= slots.size() * 7) grow();
  size_t mask = slots.size() - 1;
  for (size_t i = fp.lo & mask;; i = (i + 1) & mask) {
    if (slots[i] == fp) return false;
    if (slots[i].hi == 0 && slots[i].lo == 0) {
      slots[i] = fp;
      count++;
      return true;
    }
  }
}

void FingerprintSet::save(ByteWriter& out) const {
  out.putvec(slots);
  out.put<uint64_t>(count);
  out.put<uint8_t>(haszero);
}

void FingerprintSet::load(ByteReader& in) {
  slots = in.getvec<Fingerprint>();
  count = in.get<uint64_t>();
  haszero = in.get<uint8_t>();
}

void FingerprintSet::grow() {
  std::vector<Fingerprint> old;
  old.swap(slots);
  slots.assign(old.empty() ? 1024 : old.size() * 2, Fingerprint());
  size_t mask = slots.size() - 1;
  for (const Fingerprint& fp : old) {
    if (fp.hi == 0 && fp.lo == 0) continue;
    size_t i = fp.lo & mask;
    while (slots[i].hi != 0 || slots[i].lo != 0) i = (i + 1) & mask;
    slots[i] = fp;
  }
}
