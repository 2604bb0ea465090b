#include "driver/genesources.h"

#include "io/newick.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

std::vector<GeneSource> genesources;

void notegenes(const std::string& file, bool newick, size_t before, size_t after,
               bool family) {
  if (after > before)
    genesources.push_back(GeneSource{file, newick, before, after - before, family});
}

std::vector<std::pair<size_t, size_t>> genefamilies(size_t genecount) {
  std::vector<std::pair<size_t, size_t>> out;
  std::vector<size_t> end(genecount, 0);
  for (const GeneSource& src : genesources)
    if (src.family) end[src.first] = src.first + src.count;
  for (size_t i = 0; i < genecount;) {
    const size_t e = end[i] > i ? end[i] : i + 1;
    out.emplace_back(i, e);
    i = e;
  }
  return out;
}

// "FILE:LINE" of gene tree i, or what else says where it was given.
static std::string placeof(size_t i) {
  for (const GeneSource& src : genesources) {
    if (i < src.first || i >= src.first + src.count) continue;
    if (src.file.empty()) return "tree of -g";
    size_t k = i - src.first;
    // A plain list holds one tree a line; a Newick list is read again to find it.
    int line = src.newick ? newickgeneline(src.file.c_str(), k) : static_cast<int>(k) + 1;
    return src.file + ":" + std::to_string(line);
  }
  return "gene tree " + std::to_string(i + 1);
}

void checkgenespecies(const RootedTree& S, const std::vector<UnrootedTree*>& gtree) {
  std::vector<char> held(specnames.size(), 0);
  for (int v = 0; v < S.leaves; v++)
    if (S.lab[v] >= 0 && static_cast<size_t>(S.lab[v]) < held.size()) held[S.lab[v]] = 1;
  for (size_t i = 0; i < gtree.size(); i++) {
    const UnrootedTree& G = *gtree[i];
    for (int v = 0; v < G.leaves; v++) {
      const int s = G.lab[v];
      if (s >= 0 && static_cast<size_t>(s) < held.size() && held[s]) continue;
      const std::string species = s >= 0 ? specnames[s] : std::string("?");
      const std::string gene = G.leaflabels ? G.leaflabels[v] : species;
      fatal(placeof(i) + ": gene " + gene + " is of species " + species +
            ", which the species tree does not hold\nAdd " + species +
            " to the species tree, or leave its genes out of the gene trees.");
    }
  }
}
