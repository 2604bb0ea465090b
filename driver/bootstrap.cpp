#include "driver/bootstrap.h"

#include <iostream>
#include <random>
#include <streambuf>
#include <utility>

#include "driver/genesources.h"
#include "driver/longopts.h"
#include "driver/options.h"
#include "driver/runmode.h"
#include "io/newick.h"
#include "io/savefile.h"
#include "output/supportfiles.h"
#include "parallel/processes.h"
#include "search/bootstrapclades.h"
#include "search/searchcontrol.h"
#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "trees/unrootedtree.h"

namespace {

// PREFIX.bootstrap.nwk under --out, else bootstrap.nwk; the same for the consensus.
std::string bootstrapname(const std::string& suffix) {
  return outprefix.empty() ? suffix.substr(1) : outprefix + suffix;
}

// The searches print their steps on standard output from many places; a replicate's say
// nothing, so standard output is swallowed while one runs; a message that ends the run goes
// to standard error instead.
class Quiet {
 public:
  Quiet() : saved(std::cout.rdbuf(&none)), wasswallowed(outputswallowed) {
    outputswallowed = true;
  }
  ~Quiet() {
    std::cout.rdbuf(saved);
    outputswallowed = wasswallowed;
  }

 private:
  struct None : std::streambuf {
    int overflow(int c) override { return traits_type::not_eof(c); }
  } none;
  std::streambuf* saved;
  bool wasswallowed;
};

// Replicate r's best tree. Families are drawn with their own generator, and the search's
// rand() is seeded from it, so a replicate is the same wherever it runs.
std::vector<int> replicate(long r, unsigned long seed, const std::vector<std::vector<int>>& given,
                           std::vector<UnrootedTree*>& gtree,
                           const std::vector<std::pair<size_t, size_t>>& families,
                           const std::vector<double>& weight) {
  std::seed_seq sq{static_cast<unsigned>(seed), static_cast<unsigned>(seed >> 32),
                   static_cast<unsigned>(r)};
  std::mt19937_64 rng(sq);
  const size_t n = families.size();
  std::vector<long> drawn(n, 0);
  for (size_t i = 0; i < n; i++) drawn[rng() % n]++;
  std::vector<UnrootedTree*> genes;
  for (size_t f = 0; f < n; f++) {
    if (drawn[f] == 0) continue;
    for (size_t g = families[f].first; g < families[f].second; g++) {
      setgeneweight(gtree[g], weight[g] * static_cast<double>(drawn[f]));
      genes.push_back(gtree[g]);
    }
  }
  seedrandom(static_cast<unsigned>(rng()));
  std::vector<RootedTree*> starts;
  for (const std::vector<int>& t : given) starts.push_back(speciestreeof(t));
  {
    Quiet quiet;
    searchcollection(starts, genes, true);
  }
  for (RootedTree* S : starts) delete S;
  for (size_t g = 0; g < gtree.size(); g++) setgeneweight(gtree[g], weight[g]);
  return searchoutcome.trees.empty() ? std::vector<int>() : searchoutcome.trees.front();
}

}  // namespace

void checkbootstrapoutputs() {
  if (longopt.bootstrap <= 0) return;
  checknamed(bootstrapname(".bootstrap.nwk"));
  checknamed(bootstrapname(".consensus.nwk"));
}

std::vector<std::vector<int>> bootstrapreplicates(const std::vector<std::vector<int>>& given,
                                                  std::vector<UnrootedTree*>& gtree) {
  // Replicates search to the end: a time limit would make their trees depend on the machine.
  startsearchclock(-1);
  const unsigned long seed = mainprocessvalue(runseed);
  const std::vector<std::pair<size_t, size_t>> families = genefamilies(gtree.size());
  std::vector<double> weight(gtree.size());
  for (size_t g = 0; g < gtree.size(); g++) weight[g] = geneweight(gtree[g]);
  // Process p runs replicates p, p + P, ...: each one's tree, as r, length, postorder.
  std::vector<int> mine;
  for (long r = processrank(); r < longopt.bootstrap && !stopsignal; r += processcount()) {
    std::vector<int> t = replicate(r, seed, given, gtree, families, weight);
    if (stopsignal) break;
    mine.push_back(static_cast<int>(r));
    mine.push_back(static_cast<int>(t.size()));
    mine.insert(mine.end(), t.begin(), t.end());
  }
  std::vector<long> cut{stopsignal ? 1L : 0L};
  sumoverprocesses(cut);
  const std::vector<int> all = gatherfromall(mine);
  if (cut[0]) return {};
  std::vector<std::vector<int>> trees(longopt.bootstrap);
  for (size_t i = 0; i + 1 < all.size();) {
    const int r = all[i], len = all[i + 1];
    trees[r].assign(all.begin() + static_cast<long>(i) + 2,
                    all.begin() + static_cast<long>(i) + 2 + len);
    i += 2 + static_cast<size_t>(len);
  }
  return trees;
}

void bootstrapreport(const std::vector<RootedTree*>& optimal,
                     const std::vector<std::vector<int>>& replicates,
                     std::vector<SupportTable>& tables) {
  if (replicates.empty()) return;
  CladeCounts counts(specnames.size());
  std::string text;
  for (const std::vector<int>& t : replicates) {
    counts.add(t);
    text += postordertext(t);
  }
  tables.resize(optimal.size());
  for (size_t i = 0; i < optimal.size(); i++) {
    RootedTree& S = *optimal[i];
    SupportTable& table = tables[i];
    table.boot = true;
    table.at.resize(S.total);
    const std::vector<Clade> clades = nodeclades(S, specnames.size());
    for (short v = static_cast<short>(S.leaves); v < S.total; v++) {
      if (v == S.root) continue;
      table.at[v].node = v;
      table.at[v].bootstrap = counts.share(clades[v]);
    }
    std::cout << bootstraptable(S, table, counts.trees()) << std::flush;
  }
  writenamed(bootstrapname(".bootstrap.nwk"), text);
  writenamed(bootstrapname(".consensus.nwk"), counts.consensus());
}
