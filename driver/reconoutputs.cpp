#include "driver/reconoutputs.h"

#include <string>

#include "driver/longopts.h"
#include "io/newick.h"
#include "io/savefile.h"
#include "output/eventfiles.h"
#include "output/reconciledfiles.h"
#include "output/reconciliation.h"
#include "reconcile/polytomy.h"
#include "search/searchcontrol.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"

std::string numberedname(const std::string& file, size_t n) {
  size_t slash = file.rfind('/'), dot = file.rfind('.');
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  // A dot that starts the name (".rec") or sits in a folder name is no extension.
  if (dot == std::string::npos || dot <= base) return file + "." + std::to_string(n);
  return file.substr(0, dot) + "." + std::to_string(n) + file.substr(dot);
}

void reconoutputs(const std::vector<RootedTree*>& species, std::vector<UnrootedTree*>& gtree,
                  const std::vector<SupportTable>& supports) {
  const std::string& prefix = longopt.eventsprefix;
  const std::string& recfile = longopt.reconciledfile;
  if (prefix.empty() && recfile.empty()) return;
  if (species.empty())
    fatal(std::string(prefix.empty() ? "--reconciled" : "--events") +
          " needs a species tree: give -s, -S or -Y");
  const bool xml = longopt.reconciledformat == "recphyloxml";
  // The format's schema asks for one recGeneTree at least.
  if (!recfile.empty() && xml && gtree.empty())
    fatal("--reconciled-format recphyloxml needs a gene tree: give -g or -G");
  const bool numbered = species.size() > 1;
  for (size_t i = 0; i < species.size(); i++) {
    RootedTree& S = *species[i];
    resolvegenes(S, gtree);
    if (!prefix.empty()) {
      std::string base = numbered ? prefix + "." + std::to_string(i + 1) : prefix;
      SpeciesEvents ev = countevents(S, gtree);
      const SupportTable* sup = i < supports.size() ? &supports[i] : nullptr;
      writenamed(base + ".events.tsv", eventstsv(S, ev, sup));
      writenamed(base + ".events.nhx", eventsnhx(S, ev, sup));
      writenamed(base + ".events.svg", eventssvg(S, ev, sup));
    }
    if (!recfile.empty())
      writenamed(numbered ? numberedname(recfile, i + 1) : recfile,
                reconciledtext(S, gtree, xml));
  }
}

bool searchruns(const Options& opt) {
  return opt.search && !opt.tester && !opt.tester2 && !opt.consensus;
}

std::vector<RootedTree*> searchbest() {
  if (longopt.eventsprefix.empty() && longopt.reconciledfile.empty()) return {};
  if (searchoutcome.optimal.empty()) fatal("The search left no tree for --events or --reconciled");
  return {speciestreeof(searchoutcome.trees.front())};
}
