#include "parallel/geneshare.h"

#include <memory>

#include "parallel/processes.h"
#include "trees/dltotal.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "trees/unrootedtree.h"

namespace {

// Below this much weight per thread a move or a preparation is cheaper on one thread than
// the wake-up of another.
constexpr long GRAIN = 6000;

// The last share made: a search asks for the same gene trees at every move.
struct Cached {
  const void* data = nullptr;
  size_t size = 0;
  const void* first = nullptr;
  int threads = 0;
  bool split = false;
  unsigned long weights = 0;
  GeneShare share;
} cached;

std::vector<std::unique_ptr<GeneScratch>> scratch;

}  // namespace

long geneweight(const UnrootedTree& g) { return g.total + 16; }

std::vector<int> balancedcuts(const std::vector<long>& weight, int lo, int hi, int parts) {
  long total = 0;
  for (int i = lo; i < hi; i++) total += weight[i];
  std::vector<int> cuts{lo};
  long sum = 0;
  int i = lo;
  for (int k = 1; k < parts; k++) {
    // Block k - 1 ends where the running sum first reaches k / parts of the whole.
    long target = total * k / parts;
    while (i < hi && sum + weight[i] <= target) sum += weight[i++];
    // Take the gene tree that straddles the target when that leaves the block closer to it.
    if (i < hi && target - sum > sum + weight[i] - target) sum += weight[i++];
    cuts.push_back(i);
  }
  cuts.push_back(hi);
  return cuts;
}

const GeneShare& geneshare(const std::vector<UnrootedTree*>& genes) {
  const int threads = threadcount();
  const bool split = splitacrossprocesses();
  const void* first = genes.empty() ? nullptr : genes[0];
  if (cached.data == genes.data() && cached.size == genes.size() && cached.first == first &&
      cached.threads == threads && cached.split == split &&
      cached.weights == weightsversion())
    return cached.share;
  const int n = static_cast<int>(genes.size());
  std::vector<long> weight(n);
  for (int i = 0; i < n; i++) weight[i] = geneweight(*genes[i]);
  GeneShare s;
  s.lo = 0;
  s.hi = n;
  s.one = weightunit();
  if (anygeneweights()) {
    s.units.resize(n);
    for (int i = 0; i < n; i++) s.units[i] = geneunits(genes[i]);
  }
  if (split) {
    std::vector<int> ranks = balancedcuts(weight, 0, n, processcount());
    s.lo = ranks[processrank()];
    s.hi = ranks[processrank() + 1];
  }
  long mine = 0;
  for (int i = s.lo; i < s.hi; i++) mine += weight[i];
  int parts = static_cast<int>(std::min<long>(threads, std::max<long>(1, mine / GRAIN)));
  s.cuts = balancedcuts(weight, s.lo, s.hi, parts);
  if (static_cast<int>(scratch.size()) < parts) scratch.resize(parts);
  for (int t = 1; t < parts; t++)
    if (!scratch[t]) scratch[t] = std::make_unique<GeneScratch>();
  cached = Cached{genes.data(), genes.size(), first, threads, split, weightsversion(), s};
  return cached.share;
}

GeneShare serialshare(const GeneShare& s) {
  GeneShare one;
  one.lo = s.lo;
  one.hi = s.hi;
  one.cuts = {s.lo, s.hi};
  one.units = s.units;
  one.one = s.one;
  return one;
}

GeneScratch& threadscratch(int t) { return *scratch[t]; }

bool mapsall(RootedTree& S, const std::vector<UnrootedTree*>& genes, int lo, int hi) {
  // The same lookup that findlab builds when it meets a species beyond its end.
  std::vector<short>& leafof = S.leafofspecies;
  if (leafof.size() < specnames.size()) {
    leafof.assign(specnames.size(), -1);
    for (int v = S.leaves - 1; v >= 0; v--)
      if (S.lab[v] >= 0) leafof[S.lab[v]] = static_cast<short>(v);
  }
  // Polytomies are resolved only under weights of 0 or more: the message of the first one met
  // comes from one thread too.
  if (anymultiforms() && (weight_dup < 0 || weight_loss < 0)) return false;
  for (int i = lo; i < hi; i++) {
    const UnrootedTree& g = *genes[i];
    for (int v = 0; v < g.leaves; v++) {
      short s = g.lab[v];
      if (s < 0 || static_cast<size_t>(s) >= leafof.size() || leafof[s] < 0) return false;
    }
  }
  return true;
}

void readyforthreads(RootedTree& S) {
  if (!S.depth) S.setdepth(-1, 0);
  if (!S.lcatab) S.initlca();
}
