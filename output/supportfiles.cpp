#include "output/supportfiles.h"

#include <sstream>

#include "io/newick.h"
#include "output/reconciliation.h"
#include "reconcile/costformat.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

namespace {

std::string cost(const DlTotal& c) {
  std::ostringstream out;
  out << costtext(c.mut());
  return out.str();
}

}  // namespace

std::string supportlabel(const SupportTable& t, int v) {
  if (v >= static_cast<int>(t.at.size()) || t.at[v].node < 0) return "";
  const double x = t.boot ? t.at[v].bootstrap : t.at[v].support;
  return x < 0 ? "" : supporttext(x);
}

std::string bootstraptable(RootedTree& S, const SupportTable& t, long replicates) {
  std::ostringstream out;
  out << "Bootstrap of " << S << " (" << replicates << " replicates)\n";
  out << "node\tclade\tbootstrap\n";
  for (const BranchSupport& b : t.at) {
    if (b.node < 0) continue;
    out << b.node << "\t";
    S.printsubtree(out, b.node);
    out << "\t" << (b.bootstrap < 0 ? "-" : supporttext(b.bootstrap)) << "\n";
  }
  return out.str();
}

std::string supportstable(RootedTree& S, const SupportTable& t) {
  std::ostringstream out;
  out << "Supports of " << S << "\n";
  out << "node\tclade\tsupport\tchange1\tlower1\tequal1\thigher1\tchange2\tlower2\tequal2\thigher2\n";
  for (const BranchSupport& b : t.at) {
    if (b.node < 0) continue;
    out << b.node << "\t";
    S.printsubtree(out, b.node);
    out << "\t" << (b.support < 0 ? "-" : supporttext(b.support));
    for (int k = 0; k < 2; k++)
      out << "\t" << cost(b.change[k]) << "\t" << b.lower[k] << "\t" << b.equal[k] << "\t"
          << b.higher[k];
    out << "\n";
  }
  return out.str();
}

std::string supportnewick(const RootedTree& S, const SupportTable& t) {
  std::string out;
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step == 0) {
      if (x >= S.leaves) out += "(";
    } else if (step == 1) {
      out += ",";
    } else if (x < S.leaves) {
      out += newicklabel(specnames[S.lab[x]]);
    } else {
      out += ")";
      if (x < static_cast<int>(t.at.size()) && t.at[x].node >= 0) {
        const BranchSupport& b = t.at[x];
        out += supportlabel(t, x);
        if (t.nni) {
          out += "[&&NHX:";
          if (t.boot && b.support >= 0) out += "SUPPORT=" + supporttext(b.support) + ":";
          out += "NNI1=" + cost(b.change[0]) + ":NNI2=" + cost(b.change[1]) + "]";
        }
      }
    }
  });
  return out + ";\n";
}
