#include "driver/costreport.h"

#include <iostream>

#include "reconcile/costformat.h"
#include "reconcile/polytomy.h"
#include "parallel/geneshare.h"
#include "parallel/genesinorder.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

void costreport(Options& opt, std::vector<RootedTree*>& stree, std::vector<UnrootedTree*>& gtree) {
  std::ostream& out = std::cout;
  const bool needoptimal = opt.showrooting || opt.rootingreport || opt.showcostpair ||
                           opt.totalcost || opt.totalpair;
  for (RootedTree* S : stree) {
    S->setdepth(-1, 0);
    if (opt.showtrees) {
      out << " SPECIES TREE: " << *S << std::endl;
      if (opt.nodetables) S->printdeb(out) << std::endl;
    }
    // A report that prints nothing maps the gene trees for nothing: every later step maps them
    // again. It still does when a gene tree needs resolving or has a species S lacks, whose
    // message comes from here.
    if (!opt.showtrees && !needoptimal && !anymultiforms() &&
        mapsall(*S, gtree, 0, static_cast<int>(gtree.size())))
      continue;
    // Gene trees are independent: their lines may be made on several threads, then print in order.
    DlTotal total = eachgeneinorder(*S, gtree, out, [&](UnrootedTree& Gref, std::ostream& out) {
      UnrootedTree* G = &Gref;
      DlCost cost(0, 0);
      resolveifmulti(*G, *S);
      G->clean(0);
      G->setlcamappings(*S);
      if (opt.showtrees) G->printdeb(out) << std::endl;
      short r = needoptimal ? G->findoptimal(*S) : -1;
      if (opt.showrooting) G->printrooting(out, r);
      if (opt.showcostpair) out << G->dlcost(*S, r) << std::endl;
      if (opt.rootingreport) G->pf(out, *S, opt.costcode, opt.ladder);
      if (opt.totalcost || opt.totalpair) cost = G->dlcost(*S, r);
      if (opt.showtrees) G->printdeb(out) << std::endl;
      return cost;
    });
    if (opt.totalcost || opt.totalpair) {
      out << *S << "\t";
      if (opt.totalcost) out << costtext(total.mut()) << "\t";
      if (opt.totalpair) out << total << "\t";
      out << std::endl;
    }
  }
}
