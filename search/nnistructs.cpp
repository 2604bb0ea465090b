#include <algorithm>
#include <vector>

#include "parallel/geneshare.h"
#include "parallel/processes.h"
#include "reconcile/polytomy.h"
#include "search/generows.h"
#include "trees/postorder.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

short RootedTree::_outdistribution(short s, short* dupcount, short* speccount, short* out) {
  speciespostorder(*this, s, [&](short v, int) {
    if (v < leaves) {
      out[v] = static_cast<short>(speccount[v] - dupcount[v]);
    } else {
      int sum = out[son[v - leaves]] + out[son[v]] - speccount[v] - dupcount[v];
      out[v] = static_cast<short>(std::max(0, sum));
    }
  });
  return out[s];
}

// The recursive definition returns, at every node t, b + c - sc[t] - dc[t] from its children's
// values b and c (sc, dc: speciation and duplication counts), and adds b + c - 2 sc[t] losses.
// Its value is linear in the counts:
// ret(t) = sum over leaves u below t of (sc - dc) - sum over internal u below t of (sc + dc),
// and b + c - 2 sc[t] = ret(t) + dc[t] - sc[t]. So the losses of the subtree of s are
// sum over internal t of ret(t) + dc[t] - sc[t], where each node u enters ret(t) once for
// every internal t on its path to s: that count is its depth r below s, plus one if u is internal.
// All partial values stay within the directed-node count of a gene tree, so 16 bits hold them.
short RootedTree::_outdlcost(short s, short* dupcount, short* speccount, DlCost& cost) {
  long ret = 0, loss = 0, dup = 0;
  speciespostorder(*this, s, [&](short v, int r) {
    dup += dupcount[v];
    if (v < leaves) {
      long w = speccount[v] - dupcount[v];
      ret += w;
      loss += w * r;
    } else {
      long w = -(speccount[v] + dupcount[v]);
      ret += w;
      loss += w * (r + 1) + dupcount[v] - speccount[v];
    }
  });
  cost = cost + DlCost(dup, loss);
  return static_cast<short>(ret);
}

void RootedTree::outdlcost(short top, short* dupcount, short* speccount, DlCost& cost,
                           short genleaves) {
  cost = DlCost(0, 0);
  if (top < leaves) {  // a gene tree of one species: every internal node is a duplication
    cost.dup = genleaves - 1;
    return;
  }
  int d = _outdlcost(son[top - leaves], dupcount, speccount, cost);
  int e = _outdlcost(son[top], dupcount, speccount, cost);
  if (dupcount[top] + speccount[top] != 2 * (genleaves - 2))
    cost = cost + DlCost(d + e - speccount[top] - 1, d + e - 2 * speccount[top]);
}

// The share of the gene trees to prepare: split over threads only when no gene tree has a
// species missing from S, whose message must come from one thread in gene order.
static GeneShare preparationshare(RootedTree& S, std::vector<UnrootedTree*>& genes) {
  const GeneShare& share = geneshare(genes);
  if (share.parts() <= 1 || !mapsall(S, genes, share.lo, share.hi)) return serialshare(share);
  readyforthreads(S);
  return share;
}

static void mapgenes(RootedTree& S, std::vector<UnrootedTree*>& genes) {
  forblocks(preparationshare(S, genes), [&](int, int lo, int hi) {
    for (int g = lo; g < hi; g++) {
      resolveifmulti(*genes[g], S);
      genes[g]->clean(0);
      genes[g]->setlcamappings(S);
    }
  });
}

// Rows are made when they are missing, which is what a non-zero alloc announces, or when
// they were made for another gene-tree count; otherwise every preparation reuses them. A
// process that shares the gene trees out with others makes the rows of its own share only,
// each on the thread that owns the gene tree.
void RootedTree::nniinit(std::vector<UnrootedTree*>& genes, int /*alloc*/) {
  const int ng = static_cast<int>(genes.size());
  if (!mout || nnigenes != ng) {
    freennirows();
    mdup = new short*[ng]();
    mspec = new short*[ng]();
    mout = new short*[ng]();
    nnigenes = ng;
  }
  if (nnipath.size() != static_cast<size_t>(total)) nnipath.assign(total, 0);
  const GeneShare& share = geneshare(genes);
  forblocks(share, [&](int, int lo, int hi) {
    for (int g = lo; g < hi; g++) {
      if (!mdup[g]) {
        mdup[g] = new short[generowcount * total];
        mspec[g] = mdup[g] + total;
        mout[g] = mdup[g] + 2 * total;
      }
      std::fill(mdup[g], mdup[g] + 2 * total, -1);
      std::fill(mout[g], mout[g] + 3 * total, 0);
      short* dupcount = dupcounts(*this, g);
      short* speccount = speccounts(*this, g);
      UnrootedTree* G = genes[g];
      // The gene tree keeps its list links between species trees; they are made once.
      G->preparemaplist(mdup[g], mspec[g], dupcount, speccount, G->dupnext == nullptr);
      _outdistribution(root, dupcount, speccount, mout[g]);
    }
  });
  int largest = 0;
  for (int g = share.lo; g < share.hi; g++) largest = std::max(largest, genes[g]->total);
  if (largest > nnimarksize) {
    delete[] nnimark;
    nnimark = new unsigned char[largest]();
    nnimarksize = largest;
  }
}

void RootedTree::nnireinit(std::vector<UnrootedTree*>& genes) {
  initlca();
  mapgenes(*this, genes);
  nniinit(genes, 0);
}

DlTotal RootedTree::initGTS(std::vector<UnrootedTree*>& genes, int first) {
  setdepth(-1, 0);
  if (first && !mout) {
    mapgenes(*this, genes);
    nniinit(genes, 1);
  } else {
    // Also for a first preparation of a tree that was prepared and moved before: its LCA
    // table may describe an older shape.
    nnireinit(genes);
  }
  // Each thread sums the costs of its block; the blocks are added in gene order.
  const GeneShare& share = geneshare(genes);
  std::vector<DlTotal> sums(share.parts());
  forblocks(share, [&](int t, int lo, int hi) {
    DlTotal sum;
    for (int g = lo; g < hi; g++) {
      UnrootedTree* G = genes[g];
      short r = G->findoptimal(*this);
      DlCost c = G->dlcost(*this, r);
      sum = sum + DlTotal(c, share.unitsof(g));
      G->curcost = c;
    }
    sums[t] = sum;
  });
  DlTotal totalcost;
  for (const DlTotal& c : sums) totalcost = totalcost + c;
  if (splitacrossprocesses()) totalcost = sumoverprocesses(totalcost);
  return totalcost;
}
