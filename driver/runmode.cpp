#include "driver/runmode.h"

#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/bootstrap.h"
#include "driver/longopts.h"
#include "driver/options.h"
#include "driver/outputs.h"
#include "driver/reconoutputs.h"
#include "driver/sprdefaults.h"
#include "driver/supports.h"
#include "initial/consensus.h"
#include "initial/greedy.h"
#include "initial/randomtree.h"
#include "io/newick.h"
#include "parallel/processes.h"
#include "reconcile/costformat.h"
#include "search/nnidiag.h"
#include "search/checkpoint.h"
#include "search/nnisearch.h"
#include "search/progress.h"
#include "search/searchcontrol.h"
#include "search/sprsearch.h"
#include "store/arrtab.h"
#include "store/treerepr.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "io/savefile.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

// The search of -Y --spr when no search option is given.
static void sprdefaults(const Options& opt, const std::vector<RootedTree*>& stree,
                        const std::vector<UnrootedTree*>& gtree) {
  if (!stree.empty() || nniconstrees || nnirandomtrees || longopt.greedy >= 0 || longopt.fuse ||
      longopt.perturb || opt.stepsgiven)
    return;
  const size_t n = specnames.size();
  long long leaves = 0;
  for (const UnrootedTree* g : gtree) leaves += g->leaves;
  const SprDefaults d = sprdefaultsfor(n, leaves, longopt.timelimit);
  nnibigsteps = d.steps;
  nniconstrees = d.consensus;
  longopt.greedy = d.greedy > 0 ? d.greedy : -1;
  longopt.fuse = d.fuse;
  longopt.priced = longopt.priced || d.priced;
  std::ostringstream said;
  if (d.consensus)
    said << "one quasi-consensus start";
  else
    said << d.greedy << " stepwise-addition start" << (d.greedy == 1 ? "" : "s")
         << (d.fuse ? " fused" : "") << (d.priced ? " priced" : "");
  if (mainprocess())
    std::cerr << "Search: " << said.str() << ", -j 0 (" << n << " species, " << leaves
              << " gene leaves)" << std::endl;
}

void searchcollection(std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree,
                      bool replicate) {
  // Each process counts the clusters of its share of the gene trees for the starts, and
  // keeps the search rows of that share only; a replicate runs whole in one process.
  splitoverprocesses(!replicate);
  // A fusing search makes its stepwise-addition starts as it goes: at least one first.
  const bool anystart = !stree.empty() || nniconstrees > 0 || nnirandomtrees > 0;
  SprOptions spr;
  if (longopt.spr && longopt.fuse) spr.laterstarts = std::max(0, longopt.greedy - (anystart ? 0 : 1));
  if (!replicate && !checkpointing.resume.empty()) {
    // The saved search holds its starts: none is made again.
    for (RootedTree* S : stree) delete S;
    stree.assign(1, resumedtree());
  } else {
    for (int i = 0; i < nniconstrees; i++) {
      RootedTree* s = genconsensustree(gtree);
      if (!s) fatal("Cannot create initial species tree");
      stree.push_back(s);
    }
    for (int i = 0; i < nnirandomtrees; i++) {
      RootedTree* s = randspeciestree();
      if (!s) fatal("Cannot create initial random species tree");
      stree.push_back(s);
    }
    for (int i = spr.laterstarts; i < longopt.greedy; i++)
      stree.push_back(greedyspeciestree(gtree));
  }
  spr.makestart = [&gtree]() { return greedyspeciestree(gtree); };
  if (longopt.keep > 0) spr.keep = longopt.keep;
  spr.perturb = longopt.perturb;
  spr.fuse = longopt.fuse;
  spr.priced = longopt.priced;
  spr.save = !replicate;
  if (longopt.spr)
    sprsearch(stree, gtree, spr);
  else
    smpexplore2(stree, gtree, nnimaxdepth, !replicate);
}

// Checkpoints of a search: to --checkpoint FILE, or on to the file a run resumes from.
static void setcheckpoints(const Options& opt) {
  checkpointing.file = longopt.checkpoint.empty() ? longopt.resume : longopt.checkpoint;
  checkpointing.every = longopt.checkpointevery;
  checkpointing.resume = longopt.resume;
  // The short options as given, then the long ones less those a resumed run may change.
  std::string shortones = opt.line;
  if (shortones.size() >= longopt.line.size() &&
      shortones.compare(shortones.size() - longopt.line.size(), std::string::npos, longopt.line) == 0)
    shortones.resize(shortones.size() - longopt.line.size());
  checkpointing.command = shortones + longopt.resumeline;
  // Another run's file is not replaced by mistake; the file resumed from is this run's.
  if (!longopt.checkpoint.empty() && longopt.checkpoint != longopt.resume)
    checknamed(longopt.checkpoint);
}

void runmode(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree) {
  if (opt.tester) {
    RootedTree* s = randspeciestree();
    if (!s) fatal("Cannot create initial random species tree");
    nnitester(s, gtree);
  } else if (opt.tester2) {
    nnitester2();
  } else if (opt.consensus) {
    for (int i = 0; i < nniconstrees; i++) {
      RootedTree* s = genconsensustree(gtree);
      if (!s) fatal("Cannot create initial species tree");
      stree.push_back(s);
      s->print(std::cout) << std::endl;
    }
  } else if (opt.search) {
    checkoutputs();
    checkbootstrapoutputs();
    setcheckpoints(opt);
    catchstopsignals();
    // The limit bounds the run: building the start trees counts too.
    startsearchclock(longopt.timelimit);
    startprogress(longopt.progress || isatty(2));
    // A seed from the clock is said, so that a good run can be repeated (the log has it too).
    // A resumed run goes on with the seed it was saved with.
    if (longopt.spr && !longopt.seedgiven && longopt.resume.empty() && mainprocess())
      std::cerr << "Seed " << runseed << " (--seed " << runseed << " repeats this run)" << std::endl;
    if (longopt.spr) sprdefaults(opt, stree, gtree);
    if (stree.empty() && nniconstrees == 0 && nnirandomtrees == 0 && longopt.greedy < 0) {
      if (longopt.spr)
        longopt.greedy = 1;
      else
        nniconstrees = 1;
    }
    // The given trees before the search moves them: each replicate starts from copies.
    std::vector<std::vector<int>> given;
    if (longopt.bootstrap > 0)
      for (RootedTree* S : stree) given.push_back(postorderof(*S));
    searchcollection(stree, gtree, false);
    std::vector<std::vector<int>> replicates;
    if (longopt.bootstrap > 0 && !stopsignal) {
      const SearchOutcome found = searchoutcome;
      replicates = bootstrapreplicates(given, gtree);
      searchoutcome = found;
    }
    // Supports of each optimal tree, on trees made afresh from the outcome: the same node ids
    // as the tree searchbest makes for the --events files.
    std::vector<RootedTree*> optimal;
    if (longopt.support || longopt.bootstrap > 0)
      for (const std::vector<int>& t : searchoutcome.trees) optimal.push_back(speciestreeof(t));
    std::vector<SupportTable> supports = supportreport(optimal, gtree);
    bootstrapreport(optimal, replicates, supports);
    writebest(optimal, supports);
    reconoutputs(searchbest(), gtree, supports);  // a stopped search writes them too
    endifinterrupted();
  } else if (opt.explore) {
    checkoutputs();
    nniexplore(opt, stree, gtree);
    writebest();
  }
}

// Cost, dump and store entry of a tree that a move reached.
static void explored(RootedTree& S, std::vector<UnrootedTree*>& gtree, ArrTab& store,
                     std::vector<short>& buf, DlTotal& c, DlTotal d, int k, const std::string& t) {
  S.dumpnnistructs(gtree, -1, -1);
  c = c + d;
  TreeRepr* entry = nullptr;
  store.add(S.repr(buf.data()), S.reprlen(), c.mut(), entry);
  std::cout << *entry << " toto " << c << " " << costtext(c.mut()) << " D=" << d << "  " << k
            << " " << t << std::endl;
}

void nniexplore(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree) {
  const long n = opt.nninum;
  const long node = n < 0 ? -n : n;
  // The chosen node must be internal in every tree; a leaf or an id past the end has no move.
  if (n != 0) {
    for (RootedTree* S : stree) {
      if (node < S->leaves || node >= S->total) {
        std::ostringstream msg;
        msg << "Node " << node << " of -N is not an internal node of the species tree ";
        S->print(msg);
        fatal(msg.str());
      }
    }
  }
  ArrTab store;
  for (RootedTree* S : stree) {
    DlTotal c = S->initGTS(gtree, 1);
    std::cout << *S << " toto " << c << " init " << costtext(c.mut()) << std::endl;
    S->dumpnnistructs(gtree, -1, -1);
    std::vector<short> buf(S->reprlen());
    DlTotal d;
    if (n != 0) {
      const short v = static_cast<short>(node);
      std::cout << " Single NNI \t" << n << " ";
      S->printsubtree(std::cout, v) << std::endl;
      int k = 0;
      std::string t;
      if (S->nni(v, n < 0 ? 1 : 0, gtree, d, k, t))
        explored(*S, gtree, store, buf, c, d, k, t);
      else
        std::cout << "No nni" << std::endl;
    } else {
      std::cout << " All 1-NNI nbh";
      for (short v = static_cast<short>(S->leaves); v < S->total; v++) {
        std::cout << " NNI \t" << v << " ";
        S->printsubtree(std::cout, v) << std::endl;
        for (int variant = 0; variant < 2; variant++) {
          for (int j = 0; j < 3; j++) {
            int k = 100 * (j + 1);
            std::string t;
            if (S->nni(v, variant, gtree, d, k, t)) explored(*S, gtree, store, buf, c, d, k, t);
          }
        }
      }
    }
    std::cout << store;
    store.save();
  }
  keepoptimal(store);
}
