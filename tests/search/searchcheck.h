#pragma once
// Shared by the search tests: owned trees, snapshots of the search structures and slow
// from-scratch references to compare them with.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/dlcost.h"
#include "store/treerepr.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace searchcheck {

inline std::unique_ptr<RootedTree> species(std::string text) {
  return std::make_unique<RootedTree>(text.data());
}

// k random species trees over names, owned by the caller's vector, as the driver's list.
struct SpeciesTrees {
  std::vector<std::unique_ptr<RootedTree>> owned;
  std::vector<RootedTree*> v;
};

inline SpeciesTrees randomspecies(std::mt19937& rng, const std::vector<std::string>& names, int k) {
  SpeciesTrees t;
  for (int i = 0; i < k; i++) {
    t.owned.push_back(species(randomrootedtext(rng, names)));
    t.v.push_back(t.owned.back().get());
  }
  return t;
}

inline std::string treetext(RootedTree& S) {
  std::ostringstream out;
  S.print(out);
  return out.str();
}

struct Genes {
  std::vector<std::string> texts;
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> v;
  void add(std::string text) {
    texts.push_back(text);
    owned.push_back(std::make_unique<UnrootedTree>(text.data()));
    v.push_back(owned.back().get());
  }
};

// Random collection over names: multi-copy trees, now and then a tree of one species or of a
// few species only.
inline Genes randomgenes(std::mt19937& rng, const std::vector<std::string>& names, int count,
                         int maxleaves) {
  Genes g;
  for (int i = 0; i < count; i++) {
    int n = 3 + rng() % (maxleaves - 2);
    std::vector<std::string> pool = names;
    int kind = rng() % 8;
    if (kind == 0) pool = {names[rng() % names.size()]};
    if (kind == 1) pool.resize(2 + rng() % (names.size() - 1));
    g.add(randomgenetext(rng, pool, n));
  }
  return g;
}

// Cost of each gene tree under the tree that text describes, reconciled from scratch on new
// objects: the reference for everything the search keeps incrementally.
inline std::vector<DlCost> freshcosts(const std::string& stext, const Genes& genes) {
  auto F = species(stext);
  F->setdepth(-1, 0);
  std::vector<DlCost> costs;
  for (const std::string& t : genes.texts) {
    std::string copy = t;
    UnrootedTree G(copy.data());
    G.clean(0);
    G.setlcamappings(*F);
    costs.push_back(G.dlcost(*F, G.findoptimal(*F)));
  }
  return costs;
}

inline bool same(DlCost a, DlCost b) { return a.dup == b.dup && a.loss == b.loss; }
inline bool same(DlTotal a, DlTotal b) { return a.dup == b.dup && a.loss == b.loss; }
// A total without weights against a plain sum.
inline bool same(DlTotal a, DlCost b) { return same(a, DlTotal(b, 1)); }

// Lists of one gene tree as sets per species node, read through the structures.
struct Lists {
  std::vector<std::set<short>> dup, speciations;
  bool operator==(const Lists& o) const { return dup == o.dup && speciations == o.speciations; }
};

inline Lists lists(RootedTree& S, int gi, UnrootedTree& g) {
  Lists l;
  l.dup.resize(S.total);
  l.speciations.resize(S.total);
  for (int s = 0; s < S.total; s++) {
    int guard = 0;
    for (short v = S.mdup[gi][s]; v != -1 && guard++ <= g.total; v = g.dupnext[v])
      l.dup[s].insert(v);
    guard = 0;
    for (short v = S.mspec[gi][s]; v != -1 && guard++ <= g.total; v = g.specnext[v])
      l.speciations[s].insert(v);
  }
  return l;
}

inline void counts(const Lists& l, std::vector<short>& dc, std::vector<short>& sc) {
  dc.assign(l.dup.size(), 0);
  sc.assign(l.speciations.size(), 0);
  for (size_t s = 0; s < l.dup.size(); s++) {
    dc[s] = static_cast<short>(l.dup[s].size());
    sc[s] = static_cast<short>(l.speciations[s].size());
  }
}

// Everything a move must restore exactly.
struct Snapshot {
  std::vector<short> son, parent;
  std::vector<Lists> lists;
  std::vector<std::vector<short>> lcamap, mout;
  std::vector<short> rootmap;
  std::vector<DlCost> curcost;
  bool operator==(const Snapshot& o) const {
    if (son != o.son || parent != o.parent || !(lists == o.lists) || lcamap != o.lcamap ||
        mout != o.mout || rootmap != o.rootmap)
      return false;
    for (size_t i = 0; i < curcost.size(); i++)
      if (!same(curcost[i], o.curcost[i])) return false;
    return true;
  }
};

inline Snapshot snapshot(RootedTree& S, Genes& genes) {
  Snapshot s;
  s.son.assign(S.son, S.son + S.total);
  s.parent.assign(S.parent, S.parent + S.total);
  s.parent[S.root] = -1;
  for (size_t gi = 0; gi < genes.v.size(); gi++) {
    UnrootedTree& g = *genes.v[gi];
    s.lists.push_back(lists(S, static_cast<int>(gi), g));
    s.lcamap.emplace_back(g.lcamap, g.lcamap + g.total);
    s.mout.emplace_back(S.mout[gi], S.mout[gi] + S.total);
    s.rootmap.push_back(g.rootmap);
    s.curcost.push_back(g.curcost);
  }
  return s;
}

// Mapping of gene tree g into the current shape of S by walking parent links, with no table.
inline std::vector<short> slowmapping(RootedTree& S, UnrootedTree& g) {
  std::vector<int> depth(S.total);
  for (int v = 0; v < S.total; v++)
    for (int w = v; w != S.root; w = S.parent[w]) depth[v]++;
  auto lca = [&](short a, short b) {
    while (a != b) {
      if (depth[a] >= depth[b])
        a = S.parent[a];
      else
        b = S.parent[b];
    }
    return a;
  };
  std::vector<short> map(g.total, -1);
  for (int i = 0; i < g.leaves; i++)
    for (int s = 0; s < S.leaves && map[i] == -1; s++)
      if (S.lab[s] == g.lab[i]) map[i] = static_cast<short>(s);
  // Sweeps until every directed node has the image of both children: slow and simple.
  bool changed = true;
  while (changed) {
    changed = false;
    for (int v = g.leaves; v < g.total; v++) {
      if (map[v] != -1) continue;
      short u, w;
      g.getchildren(static_cast<short>(v), u, w);
      if (map[u] == -1 || map[w] == -1) continue;
      map[v] = lca(map[u], map[w]);
      changed = true;
    }
  }
  map.push_back(lca(map[0], map[g.parent[0]]));  // last entry: the whole tree
  return map;
}

// The structures of every gene tree against a from-scratch computation on the current shape.
inline void checkall(RootedTree& S, Genes& genes, DlTotal total, const std::string& where) {
  SCOPED_TRACE(where + " " + treetext(S));
  std::vector<DlCost> fresh = freshcosts(treetext(S), genes);
  DlTotal sum;
  for (size_t gi = 0; gi < genes.v.size(); gi++) {
    SCOPED_TRACE("gene tree " + genes.texts[gi]);
    UnrootedTree& g = *genes.v[gi];
    std::vector<short> map = slowmapping(S, g);
    ASSERT_EQ(g.rootmap, map.back());
    Lists l = lists(S, static_cast<int>(gi), g);
    size_t listed = 0;
    for (int s = 0; s < S.total; s++) {
      for (short v : l.dup[s]) {
        short u, w;
        g.getchildren(v, u, w);
        EXPECT_TRUE(v >= g.leaves && (map[u] == s || map[w] == s) && map[v] == s) << v;
      }
      for (short v : l.speciations[s]) {
        bool isspec = v < g.leaves;
        if (!isspec) {
          short u, w;
          g.getchildren(v, u, w);
          isspec = map[u] != s && map[w] != s;
        }
        EXPECT_TRUE(isspec && map[v] == s) << v;
      }
      listed += l.dup[s].size() + l.speciations[s].size();
    }
    EXPECT_EQ(listed, static_cast<size_t>(g.total));
    for (int v = 0; v < g.total; v++) ASSERT_EQ(g.lcamap[v], map[v]) << v;

    std::vector<short> dc, sc, out(S.total);
    counts(l, dc, sc);
    S._outdistribution(S.root, dc.data(), sc.data(), out.data());
    EXPECT_EQ(out, std::vector<short>(S.mout[gi], S.mout[gi] + S.total));
    DlCost fromcounts(0, 0);
    S.outdlcost(g.rootmap, dc.data(), sc.data(), fromcounts, static_cast<short>(g.leaves));
    EXPECT_TRUE(same(g.curcost, fromcounts)) << g.curcost << " " << fromcounts;
    EXPECT_TRUE(same(g.curcost, fresh[gi])) << g.curcost << " " << fresh[gi];
    sum = sum + DlTotal(g.curcost, geneunits(&g));
  }
  EXPECT_TRUE(same(sum, total)) << sum << " " << total;
}

}  // namespace searchcheck
