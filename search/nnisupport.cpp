#include "search/nnisupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "search/nnimove.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// v % n without a division for each draw (Granlund and Montgomery, PLDI 1994, figure 4.1):
// the quotient from a high multiply, exact for every 64-bit v and every n below 2^32.
class Remainder {
 public:
  explicit Remainder(unsigned long long n) : n(n) {
    int l = 0;
    while (l < 64 && (1ULL << l) < n) l++;  // ceil(log2 n)
    m = static_cast<unsigned long long>((static_cast<Wide>((1ULL << l) - n) << 64) / n + 1);
    shift1 = l > 0 ? 1 : 0;
    shift2 = l > 0 ? l - 1 : 0;
  }
  unsigned long long of(unsigned long long v) const {
    const unsigned long long t = static_cast<unsigned long long>((static_cast<Wide>(v) * m) >> 64);
    return v - ((t + ((v - t) >> shift1)) >> shift2) * n;
  }

 private:
  __extension__ typedef unsigned __int128 Wide;
  unsigned long long n, m;
  int shift1, shift2;
};

// Draw counts, gene-major (counts[g * replicates + r]), so that a branch reads the rows of
// only the gene trees whose cost it changes. In 8 bits, which halve what each branch reads,
// unless a count reaches 255 (false: draw again in 16). 16 bits saturate: a gene tree drawn
// more often than that in one replicate would need tens of thousands of draws to land on it.
// largest: the largest count.
template <class T>
bool drawcounts(long n, long replicates, unsigned long seed, std::vector<T>& counts,
                int& largest) {
  counts.assign(static_cast<size_t>(n * replicates), 0);
  constexpr T top = std::numeric_limits<T>::max();
  std::mt19937_64 rng(seed);
  const bool fast = static_cast<unsigned long long>(n) < (1ULL << 32);
  const Remainder mod(fast ? static_cast<unsigned long long>(n) : 1);
  T most = 0;
  for (long r = 0; r < replicates; r++)
    for (long i = 0; i < n; i++) {
      const unsigned long long v = rng();
      const size_t g = fast ? mod.of(v) : v % static_cast<unsigned long long>(n);
      T& c = counts[g * replicates + r];
      if (c == top) {
        if (sizeof(T) == 1) return false;
        continue;
      }
      c++;
      most = std::max(most, c);
    }
  largest = most;
  return true;
}

// The gene trees whose cost differs under one alternative or the other, with the changes.
struct Changed {
  int g;
  DlTotal d[2];
};

// The share of replicates won, from each replicate's cost changes d1 and d2 of the two
// alternatives (the tree's resolution costs 0 against them); one sum in replicate order.
template <class Change>
double wonshare(long replicates, Change change) {
  double wins = 0;
  for (long r = 0; r < replicates; r++) {
    double d1, d2;
    change(r, d1, d2);
    if (d1 > 0 && d2 > 0)
      wins += 1;
    else if (d1 == 0 && d2 > 0)
      wins += 0.5;
    else if (d2 == 0 && d1 > 0)
      wins += 0.5;
    else if (d1 == 0 && d2 == 0)
      wins += 1.0 / 3;
  }
  return 100.0 * wins / static_cast<double>(replicates);
}

// A whole weight of at most 2^15 in size, or 0 when the weight is not whole.
long long wholeweight(double w) {
  if (w != std::floor(w) || std::fabs(w) > 32768) return 0;
  return static_cast<long long>(w);
}

// The replicates' changes as one weighted integer per alternative, in 32 bits, when that
// gives the signs mut() gives: whole weights, and no sum of n draws beyond 2^31 (then each
// product and sum mut() forms is a whole number below 2^53, exact, and so is its sign).
// Gene trees are summed in 16 bits, which the vector registers take twice as many of at a
// time, for as long as their changes times the largest count stay below 2^15.
template <class T>
bool resamplewhole(const std::vector<Changed>& changed, const std::vector<T>& counts,
                   int largest, long replicates, long n, std::vector<int> (&acc)[2],
                   std::vector<short> (&part)[2], double& share) {
  const long long wd = wholeweight(weight_dup), wl = wholeweight(weight_loss);
  if ((wd == 0 && weight_dup != 0) || (wl == 0 && weight_loss != 0)) return false;
  long long most = 0;
  for (const Changed& c : changed)
    for (const DlTotal& d : c.d)
      most = std::max(most, std::llabs(d.dup) * std::llabs(wd) +
                                std::llabs(d.loss) * std::llabs(wl));
  if (most > 0 && n > (1LL << 31) / most) return false;
  for (auto& a : acc) a.assign(replicates, 0);
  for (auto& a : part) a.assign(replicates, 0);
  int* s1 = acc[0].data();
  int* s2 = acc[1].data();
  short* p1 = part[0].data();
  short* p2 = part[1].data();
  long long bound = 0;  // of any partial sum
  auto flush = [&] {
    for (long r = 0; r < replicates; r++) {
      s1[r] += p1[r];
      s2[r] += p2[r];
      p1[r] = p2[r] = 0;
    }
    bound = 0;
  };
  for (const Changed& c : changed) {
    const T* row = counts.data() + static_cast<size_t>(c.g) * replicates;
    const int e1 = static_cast<int>(c.d[0].dup * wd + c.d[0].loss * wl);
    const int e2 = static_cast<int>(c.d[1].dup * wd + c.d[1].loss * wl);
    const long long need = static_cast<long long>(std::max(std::abs(e1), std::abs(e2))) * largest;
    if (need < 32768) {
      if (bound + need >= 32768) flush();
      bound += need;
      const short f1 = static_cast<short>(e1), f2 = static_cast<short>(e2);
      for (long r = 0; r < replicates; r++) {
        const short k = static_cast<short>(row[r]);
        p1[r] = static_cast<short>(p1[r] + k * f1);
        p2[r] = static_cast<short>(p2[r] + k * f2);
      }
      continue;
    }
    for (long r = 0; r < replicates; r++) {
      const int k = row[r];
      s1[r] += k * e1;
      s2[r] += k * e2;
    }
  }
  flush();
  share = wonshare(replicates, [&](long r, double& d1, double& d2) {
    d1 = s1[r];
    d2 = s2[r];
  });
  return true;
}

template <class T>
double resample(const std::vector<Changed>& changed, const std::vector<T>& counts,
                long replicates, std::vector<long long> (&acc)[4]) {
  // Plain arrays without a branch, so that the inner loop runs in vector registers.
  for (auto& a : acc) a.assign(replicates, 0);
  long long* dup1 = acc[0].data();
  long long* loss1 = acc[1].data();
  long long* dup2 = acc[2].data();
  long long* loss2 = acc[3].data();
  for (const Changed& c : changed) {
    const T* row = counts.data() + static_cast<size_t>(c.g) * replicates;
    const long long d1 = c.d[0].dup, l1 = c.d[0].loss, d2 = c.d[1].dup, l2 = c.d[1].loss;
    for (long r = 0; r < replicates; r++) {
      const long long k = row[r];
      dup1[r] += k * d1;
      loss1[r] += k * l1;
      dup2[r] += k * d2;
      loss2[r] += k * l2;
    }
  }
  return wonshare(replicates, [&](long r, double& d1, double& d2) {
    d1 = DlTotal(dup1[r], loss1[r]).mut();
    d2 = DlTotal(dup2[r], loss2[r]).mut();
  });
}

}  // namespace

std::string supporttext(double percent) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.1f", percent);
  std::string s = buf;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

SupportTable nnisupports(RootedTree& S, std::vector<UnrootedTree*>& genes, long replicates,
                         unsigned long seed) {
  // Every process keeps every gene tree's cost here: the counts need them all.
  splitoverprocesses(false);
  SupportTable table;
  table.nni = true;
  table.at.resize(S.total);
  S.initGTS(genes, 1);
  const int n = static_cast<int>(genes.size());
  const GeneShare& share = geneshare(genes);
  std::vector<DlCost> base;
  base.reserve(n);
  for (UnrootedTree* G : genes) base.push_back(G->curcost);
  std::vector<long long> units(n);
  for (int g = 0; g < n; g++) units[g] = share.unitsof(g);
  std::vector<unsigned char> narrow;
  std::vector<unsigned short> wide;
  int largest = 0;
  const bool draws = replicates > 0 && n > 0;
  if (draws && !drawcounts(n, replicates, seed, narrow, largest)) {
    narrow = {};
    drawcounts(n, replicates, seed, wide, largest);
  }
  std::vector<short> part[2];
  std::vector<long long> acc[4];
  std::vector<int> whole[2];
  std::vector<DlCost> alt[2];
  std::vector<Changed> changed;
  for (short c = static_cast<short>(S.leaves); c < S.total; c++) {
    if (c == S.root) continue;
    const short a = S.parent[c];
    const int variant = S.son[a] == c ? 0 : 1;
    BranchSupport& b = table.at[c];
    b.node = c;
    changed.clear();
    nnitry(S, a, variant, genes, alt);
    for (int k = 0; k < 2; k++) {
      DlTotal sum;
      for (int g = 0; g < n; g++) {
        const DlCost now = alt[k][g];
        sum = sum + DlTotal(DlCost(now.dup - base[g].dup, now.loss - base[g].loss), units[g]);
        const double d = now.mut() - base[g].mut();
        (d < 0 ? b.lower : d > 0 ? b.higher : b.equal)[k]++;
      }
      b.change[k] = sum;
    }
    for (int g = 0; g < n; g++) {
      const DlCost d1(alt[0][g].dup - base[g].dup, alt[0][g].loss - base[g].loss);
      const DlCost d2(alt[1][g].dup - base[g].dup, alt[1][g].loss - base[g].loss);
      if (d1.dup || d1.loss || d2.dup || d2.loss)
        changed.push_back({g, {DlTotal(d1, units[g]), DlTotal(d2, units[g])}});
    }
    if (!draws) continue;
    if (!narrow.empty()) {
      if (!resamplewhole(changed, narrow, largest, replicates, n, whole, part, b.support))
        b.support = resample(changed, narrow, replicates, acc);
    } else if (!resamplewhole(changed, wide, largest, replicates, n, whole, part, b.support)) {
      b.support = resample(changed, wide, replicates, acc);
    }
  }
  return table;
}
