#include "initial/clusters.h"

#include <algorithm>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "reconcile/genewalk.h"
#include "search/searchcontrol.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

// Keys of their own (not the species tree's clade keys); a set's fingerprint is the XOR of
// its species' keys, so a union subtracts what the two sides share.
Fingerprint clusterkey(short s) {
  uint64_t k = static_cast<uint64_t>(static_cast<uint16_t>(s));
  return Fingerprint{splitmix(k * 2 + 0x2545f4914f6cdd1dULL),
                     splitmix(k * 2 + 1 + 0x9e6c63d0676a9a99ULL)};
}

// The species set of every directed node of one gene tree as a row of bits, one bit per
// species of the tree in ascending id order, with its fingerprint and size. Rows cost the
// tree's nodes times its species over 64; they live for one tree at a time.
struct SpeciesRows {
  std::vector<short> species;
  std::vector<Fingerprint> key;
  size_t words = 0;
  std::vector<uint64_t> bits;
  std::vector<Fingerprint> fp;
  std::vector<int> size;
  std::vector<short> order;

  void build(UnrootedTree& G);
  const uint64_t* row(int v) const { return bits.data() + static_cast<size_t>(v) * words; }
  // v's species, ascending.
  void members(int v, std::vector<short>& out) const;
  // v's species with ids in [64 w, 64 (w + m)) as m words, ORed into out; last: the word of
  // v's largest species id.
  void globalwords(int v, size_t w, size_t m, uint64_t* out, long& last) const;
};

void SpeciesRows::build(UnrootedTree& G) {
  species.assign(G.lab, G.lab + G.leaves);
  std::sort(species.begin(), species.end());
  species.erase(std::unique(species.begin(), species.end()), species.end());
  key.resize(species.size());
  for (size_t i = 0; i < species.size(); i++) key[i] = clusterkey(species[i]);
  words = (species.size() + 63) / 64;
  bits.assign(words * G.total, 0);
  fp.assign(G.total, Fingerprint());
  size.assign(G.total, 0);
  childfirstorder(G, order);
  for (short x : order) {
    uint64_t* r = bits.data() + static_cast<size_t>(x) * words;
    if (x < G.leaves) {
      size_t i = std::lower_bound(species.begin(), species.end(), G.lab[x]) - species.begin();
      r[i >> 6] |= uint64_t{1} << (i & 63);
      fp[x] = key[i];
      size[x] = 1;
      continue;
    }
    short a, b;
    G.getchildren(x, a, b);
    const uint64_t *ra = row(a), *rb = row(b);
    Fingerprint f{fp[a].hi ^ fp[b].hi, fp[a].lo ^ fp[b].lo};
    int n = size[a] + size[b];
    for (size_t w = 0; w < words; w++) {
      r[w] = ra[w] | rb[w];
      for (uint64_t both = ra[w] & rb[w]; both; both &= both - 1) {
        const Fingerprint& k = key[w * 64 + __builtin_ctzll(both)];
        f.hi ^= k.hi;
        f.lo ^= k.lo;
        n--;
      }
    }
    fp[x] = f;
    size[x] = n;
  }
}

void SpeciesRows::members(int v, std::vector<short>& out) const {
  out.clear();
  const uint64_t* r = row(v);
  for (size_t w = 0; w < words; w++)
    for (uint64_t x = r[w]; x; x &= x - 1) out.push_back(species[w * 64 + __builtin_ctzll(x)]);
}

// The clusters taken so far as a forest: each one's parent is the least taken cluster that
// holds it, and each species points at the least taken cluster that holds it (-1: none).
struct Laminar {
  std::vector<int> low, up, size, cnt, seen, touched, walks;
  int stamp = 0;

  explicit Laminar(size_t species) : low(species, -1) {}

  // Whether c is nested in or disjoint from every cluster taken: cnt[x] counts c's species
  // inside each taken cluster x that meets c.
  bool fits(const std::vector<short>& c) {
    stamp++;
    touched.clear();
    walks.clear();
    for (short s : c) {
      int x = low[s];
      if (x < 0) continue;
      if (seen[x] != stamp) walks.push_back(static_cast<int>(touched.size()));
      for (int y = x; y >= 0 && seen[y] != stamp; y = up[y]) {
        seen[y] = stamp;
        cnt[y] = 0;
        touched.push_back(y);
      }
      cnt[x]++;
    }
    // Each walk goes up from a cluster and stops below one an earlier walk met: later walks
    // first, each from its foot, sums every cluster's children before it.
    for (size_t w = walks.size(); w-- > 0;) {
      size_t end = w + 1 < walks.size() ? walks[w + 1] : touched.size();
      for (size_t i = walks[w]; i < end; i++) {
        int x = touched[i];
        if (up[x] >= 0 && (i + 1 < end || seen[up[x]] == stamp)) cnt[up[x]] += cnt[x];
      }
    }
    for (int x : touched)
      if (cnt[x] != size[x] && cnt[x] != static_cast<int>(c.size())) return false;
    return true;
  }

  // Takes c, which fits: it goes between the least cluster holding it and those it holds.
  void take(const std::vector<short>& c) {
    int z = static_cast<int>(size.size()), n = static_cast<int>(c.size());
    int parent = -1;
    for (int x : touched)
      if (cnt[x] == n && size[x] > n && (parent < 0 || size[x] < size[parent])) parent = x;
    for (int x : touched)
      if (cnt[x] == size[x] && size[x] < n && up[x] == parent) up[x] = z;
    for (short s : c)
      if (low[s] == parent) low[s] = z;
    up.push_back(parent);
    size.push_back(n);
    cnt.push_back(0);
    seen.push_back(0);
  }
};

}  // namespace

void ClustersCollection::grow() {
  std::vector<ClusterEntry> old;
  old.swap(slots);
  slots.assign(old.empty() ? 1024 : old.size() * 2, ClusterEntry());
  size_t mask = slots.size() - 1;
  for (const ClusterEntry& e : old) {
    if (e.count == 0) continue;
    size_t i = e.fp.lo & mask;
    while (slots[i].count != 0) i = (i + 1) & mask;
    slots[i] = e;
  }
}

void ClustersCollection::count(const Fingerprint& fp, UnrootedTree* tree, int node, int size,
                               int n) {
  if ((distinct + 1) * 2 > slots.size()) grow();
  size_t mask = slots.size() - 1;
  for (size_t i = fp.lo & mask;; i = (i + 1) & mask) {
    ClusterEntry& e = slots[i];
    if (e.count == 0) {
      e.fp = fp;
      e.tree = tree;
      e.count = n;
      e.node = node;
      e.size = size;
      distinct++;
      return;
    }
    if (e.fp == fp) {
      e.count += n;
      return;
    }
  }
}

void ClustersCollection::add(UnrootedTree* t) {
  SpeciesRows rows;
  rows.build(*t);
  for (int v = 0; v < t->total; v++) {
    // A single species says nothing about the species tree.
    if (rows.size[v] < 2 || rows.size[v] == sizelimit) continue;
    count(rows.fp[v], t, v, rows.size[v], 1);
  }
}

void ClustersCollection::insert(const std::set<short>& c, int n) {
  Fingerprint fp;
  for (short s : c) {
    Fingerprint k = clusterkey(s);
    fp.hi ^= k.hi;
    fp.lo ^= k.lo;
  }
  size_t before = distinct;
  count(fp, nullptr, static_cast<int>(given.size()), static_cast<int>(c.size()), n);
  if (distinct != before) given.emplace_back(c.begin(), c.end());
}

void ClustersCollection::merge(const ClustersCollection& o) {
  for (const ClusterEntry& e : o.slots) {
    if (e.count == 0) continue;
    if (e.tree) {
      count(e.fp, e.tree, e.node, e.size, e.count);
    } else {
      std::set<short> c(o.given[e.node].begin(), o.given[e.node].end());
      insert(c, e.count);
    }
  }
}

void ClustersCollection::members(const ClusterEntry& e, std::vector<short>& out) const {
  out.clear();
  if (!e.tree) {
    out = given[e.node];
    return;
  }
  static thread_local std::vector<short> order;
  subtreepreorder(*e.tree, static_cast<short>(e.node), order);
  for (short x : order)
    if (x < e.tree->leaves) out.push_back(e.tree->lab[x]);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::map<std::set<short>, int> ClustersCollection::sets() const {
  std::map<std::set<short>, int> m;
  std::vector<short> c;
  for (const ClusterEntry& e : slots)
    if (e.count) {
      members(e, c);
      m[std::set<short>(c.begin(), c.end())] += e.count;
    }
  return m;
}

namespace {

// A set's 64-bit words [w, w + m) of the species id range, and the index of its last nonempty
// word (past w + m when the set goes on beyond the chunk).
struct Chunk {
  const uint64_t* bits;
  long last;
};

// Lexicographic order of two ascending species sequences that agree below word w, from the
// chunk alone: at the first species d in one set only, the set without d is the larger if
// it goes on past d, and the smaller if it ends there.
bool chunkless(const Chunk& a, const Chunk& b, size_t w, size_t m) {
  for (size_t j = 0; j < m; j++) {
    uint64_t x = a.bits[j], y = b.bits[j];
    long at = static_cast<long>(w + j);
    if (x == y) {
      if (a.last <= at || b.last <= at) return a.last <= at && b.last > at;
      continue;
    }
    uint64_t d = (x ^ y) & (~(x ^ y) + 1);
    uint64_t above = ~(d | (d - 1));
    if (x & d) return (y & above) || b.last > at;
    return !((x & above) || a.last > at);
  }
  return false;
}

}  // namespace

void SpeciesRows::globalwords(int v, size_t w, size_t m, uint64_t* out, long& last) const {
  const uint64_t* r = row(v);
  auto from = [&](size_t word) {
    return static_cast<size_t>(std::lower_bound(species.begin(), species.end(),
                                                static_cast<long>(64 * word)) - species.begin());
  };
  size_t lo = from(w), hi = from(w + m);
  for (size_t i = lo; i < hi;) {
    uint64_t x = r[i >> 6] >> (i & 63);
    if (!x) {
      i = (i | 63) + 1;
      continue;
    }
    i += __builtin_ctzll(x);
    if (i >= hi) break;
    int g = species[i];
    out[g / 64 - w] |= uint64_t{1} << (g & 63);
    i++;
  }
  last = -1;
  for (size_t k = words; k-- > 0;)
    if (r[k]) {
      last = species[k * 64 + 63 - __builtin_clzll(r[k])] / 64;
      break;
    }
}

// Sorts a chunk of 64-bit species words at a time, and only among entries that agree on
// every word before: most clusters part early, so the sets are never all written out at once.
std::vector<int> ClustersCollection::lexorder(size_t budget) const {
  std::vector<int> ids;
  long maxspecies = static_cast<long>(specnames.size());
  for (size_t i = 0; i < slots.size(); i++)
    if (slots[i].count) {
      ids.push_back(static_cast<int>(i));
      if (!slots[i].tree)
        for (short s : given[slots[i].node]) maxspecies = std::max(maxspecies, s + 1L);
    }
  const size_t words = std::max<size_t>(1, (maxspecies + 63) / 64);
  // Runs [first, second) of ids that agree on every word below w.
  std::vector<std::pair<size_t, size_t>> runs, next;
  if (ids.size() > 1) runs.emplace_back(0, ids.size());
  std::vector<size_t> open;
  std::vector<uint64_t> keys;
  std::vector<long> last;
  std::vector<std::pair<int, int>> run;  // (id, its chunk's index)
  std::vector<int> keyof(ids.size());
  SpeciesRows rows;
  for (size_t w = 0; !runs.empty() && w < words;) {
    open.clear();
    for (auto& r : runs)
      for (size_t i = r.first; i < r.second; i++) open.push_back(i);
    size_t m = std::max<size_t>(1, std::min(words - w, budget / open.size()));
    // One gene tree's rows at a time: the entries it stands for are next to each other.
    std::sort(open.begin(), open.end(), [&](size_t a, size_t b) {
      return std::less<UnrootedTree*>()(slots[ids[a]].tree, slots[ids[b]].tree);
    });
    keys.assign(open.size() * m, 0);
    last.assign(open.size(), -1);
    UnrootedTree* built = nullptr;
    for (size_t q = 0; q < open.size(); q++) {
      keyof[open[q]] = static_cast<int>(q);
      const ClusterEntry& e = slots[ids[open[q]]];
      uint64_t* out = keys.data() + q * m;
      if (!e.tree) {
        for (short s : given[e.node]) {
          if (static_cast<size_t>(s) >= 64 * w && static_cast<size_t>(s) < 64 * (w + m))
            out[s / 64 - w] |= uint64_t{1} << (s & 63);
          last[q] = s / 64;
        }
        continue;
      }
      if (e.tree != built) rows.build(*(built = e.tree));
      rows.globalwords(e.node, w, m, out, last[q]);
    }
    auto chunk = [&](int q) { return Chunk{keys.data() + static_cast<size_t>(q) * m, last[q]}; };
    next.clear();
    for (auto& r : runs) {
      run.clear();
      for (size_t i = r.first; i < r.second; i++) run.emplace_back(ids[i], keyof[i]);
      auto less = [&](const std::pair<int, int>& a, const std::pair<int, int>& b) {
        return chunkless(chunk(a.second), chunk(b.second), w, m);
      };
      std::sort(run.begin(), run.end(), less);
      for (size_t j = 0; j < run.size(); j++) ids[r.first + j] = run[j].first;
      for (size_t j = 0, e; j < run.size(); j = e) {
        for (e = j + 1; e < run.size() && !less(run[j], run[e]); e++) {
        }
        // Equal chunks of sets that end within them are equal sets: nothing left to part them.
        if (e - j > 1 && last[run[j].second] >= static_cast<long>(w + m))
          next.emplace_back(r.first + j, r.first + e);
      }
    }
    runs.swap(next);
    w += m;
  }
  return ids;
}

std::vector<std::set<short>> ClustersCollection::chosenclusters(size_t keptbudget) const {
  std::vector<int> order = lexorder();
  struct Item {
    int count, id;
  };
  auto fewer = [](const Item& a, const Item& b) { return a.count < b.count; };
  // Pushed in lexicographic order, the heap pops equal counts as a heap of whole sets did.
  std::priority_queue<Item, std::vector<Item>, decltype(fewer)> frequent(fewer);
  for (int id : order) frequent.push(Item{slots[id].count, id});
  // The order does not depend on what is taken, so it is drawn whole first.
  std::vector<int> popped;
  popped.reserve(distinct);
  for (; !frequent.empty(); frequent.pop()) popped.push_back(frequent.top().id);

  Laminar forest(specnames.size());
  std::vector<std::set<short>> accepted;
  // n species hold at most n - 1 nested or disjoint clusters of two or more: then none fits.
  const size_t most = specnames.empty() ? 0 : specnames.size() - 1;
  auto full = [&] { return given.empty() && accepted.size() >= most; };
  // Batches of the popped order: first each cluster is tested against what was taken before
  // the batch, one gene tree's rows at a time; a cluster that does not fit then never will.
  // Those that fit are tested again in order, against what the batch has taken since.
  SpeciesRows rows;
  std::vector<short> c, kept;
  std::vector<size_t> batch;
  // Per place in the batch: where its species are in kept; -1 it does not fit, -2 not kept.
  std::vector<std::pair<long, int>> span;
  for (size_t lo = 0, width = 256; lo < popped.size() && !full();
       lo += width, width = std::min<size_t>(width * 2, size_t{1} << 22)) {
    // The time limit ends the choice with the clusters taken so far.
    if (lo > 0 && searchstop()) break;
    size_t hi = std::min(popped.size(), lo + width);
    batch.clear();
    for (size_t i = lo; i < hi; i++) batch.push_back(i);
    std::sort(batch.begin(), batch.end(), [&](size_t a, size_t b) {
      return std::less<UnrootedTree*>()(slots[popped[a]].tree, slots[popped[b]].tree);
    });
    kept.clear();
    span.assign(hi - lo, std::make_pair(-1L, 0));
    UnrootedTree* built = nullptr;
    for (size_t i : batch) {
      const ClusterEntry& e = slots[popped[i]];
      if (!e.tree) {
        c = given[e.node];
      } else {
        if (e.tree != built) rows.build(*(built = e.tree));
        rows.members(e.node, c);
      }
      if (!forest.fits(c)) continue;
      if (kept.size() + c.size() > keptbudget) {
        span[i - lo].first = -2;
        continue;
      }
      span[i - lo] = std::make_pair(static_cast<long>(kept.size()), static_cast<int>(c.size()));
      kept.insert(kept.end(), c.begin(), c.end());
    }
    for (size_t i = lo; i < hi && !full(); i++) {
      auto [at, n] = span[i - lo];
      if (at == -1) continue;
      if (at == -2)
        members(slots[popped[i]], c);
      else
        c.assign(kept.begin() + at, kept.begin() + at + n);
      if (!forest.fits(c)) continue;
      forest.take(c);
      accepted.emplace_back(c.begin(), c.end());
    }
  }
  return accepted;
}

void addclusters(ClustersCollection& cc, const std::vector<UnrootedTree*>& chosen) {
  const GeneShare& share = geneshare(chosen);
  std::vector<ClustersCollection> own(share.parts());
  forblocks(share, [&](int t, int lo, int hi) {
    ClustersCollection& into = t == 0 ? cc : own[t];
    into.sizelimit = cc.sizelimit;
    for (int g = lo; g < hi; g++) into.add(chosen[g]);
  });
  for (int t = 1; t < share.parts(); t++) {
    cc.merge(own[t]);
    own[t] = ClustersCollection();
  }
  if (!splitacrossprocesses()) return;
  // Each process counted its share: every process adds up all the counts, as (fingerprint
  // in four parts, gene tree, node, size, count) records. Every process holds every gene tree.
  std::unordered_map<const UnrootedTree*, int> index;
  for (size_t g = 0; g < chosen.size(); g++) index[chosen[g]] = static_cast<int>(g);
  std::vector<int> mine;
  for (const ClusterEntry& e : cc.entries()) {
    if (e.count == 0) continue;
    for (uint64_t h : {e.fp.hi, e.fp.lo}) {
      mine.push_back(static_cast<int>(static_cast<uint32_t>(h >> 32)));
      mine.push_back(static_cast<int>(static_cast<uint32_t>(h)));
    }
    mine.push_back(index.at(e.tree));
    mine.push_back(e.node);
    mine.push_back(e.size);
    mine.push_back(e.count);
  }
  std::vector<int> all = gatherfromall(mine);
  ClustersCollection sum;
  sum.sizelimit = cc.sizelimit;
  auto part = [&](size_t i) { return static_cast<uint64_t>(static_cast<uint32_t>(all[i])); };
  for (size_t i = 0; i + 8 <= all.size(); i += 8) {
    Fingerprint fp{part(i) << 32 | part(i + 1), part(i + 2) << 32 | part(i + 3)};
    sum.count(fp, chosen[all[i + 4]], all[i + 5], all[i + 6], all[i + 7]);
  }
  cc = std::move(sum);
}

int subseteq(std::set<short>& a, std::set<short>& b) {
  for (short s : a)
    if (b.find(s) == b.end()) return 0;
  return 1;
}
