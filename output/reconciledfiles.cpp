#include "output/reconciledfiles.h"

#include <algorithm>

#include "output/eventfiles.h"
#include "output/reconciliation.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::string genename(const UnrootedTree& G, short x) {
  return G.leaflabels ? G.leaflabels[x] : specnames[G.lab[x]];
}

std::string nhxline(const UnrootedTree& G, const Reconciliation& rec,
                    const std::vector<std::string>& names) {
  std::string out;
  depthfirst(0, GeneKids{rec}, [&](int i, int step) {
    const RecNode& x = rec.nodes[i];
    bool leaf = x.child[0] < 0;
    if (step == 0) {
      out += leaf ? newicklabel(genename(G, x.dnode)) : "(";
    } else if (step == 1) {
      out += ",";
    } else {
      if (!leaf) out += ")";
      out += "[&&NHX:S=" + names[x.map];
      if (!leaf) out += x.dup ? ":D=Y" : ":D=N";
      out += "]";
    }
  });
  return out + ";\n";
}

// Deep trees would drown in leading blanks: nesting beyond this is not indented further.
constexpr int MAXINDENT = 32;

std::string indent(int level) { return std::string(2 * std::min(level, MAXINDENT), ' '); }

std::string speciesxml(const RootedTree& S, const std::vector<std::string>& names) {
  std::string out = "  <spTree>\n    <phylogeny>\n";
  int level = 3;
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step == 0) {
      out += indent(level) + "<clade>\n" + indent(level + 1) + "<name>" + xmlescape(names[x]) +
             "</name>\n";
      level++;
    } else if (step == 2) {
      level--;
      out += indent(level) + "</clade>\n";
    }
  });
  return out + "    </phylogeny>\n  </spTree>\n";
}

std::string genexml(const RootedTree& S, const UnrootedTree& G, const Reconciliation& rec,
                    const std::vector<std::string>& names) {
  std::string out = "  <recGeneTree>\n    <phylogeny rooted=\"true\">\n";
  std::vector<int> up(rec.nodes.size(), -1);  // parent index
  for (size_t i = 0; i < rec.nodes.size(); i++)
    for (int c : rec.nodes[i].child)
      if (c >= 0) up[c] = static_cast<int>(i);
  int level = 3;
  std::vector<short> passed;
  depthfirst(0, GeneKids{rec}, [&](int i, int step) {
    const RecNode& x = rec.nodes[i];
    if (step == 2) {
      level--;
      out += indent(level) + "</clade>\n";
    }
    if (step != 0) return;
    bool leaf = x.child[0] < 0;
    std::string loc = "speciesLocation=\"" + xmlescape(names[x.map]) + "\"";
    out += indent(level) + "<clade>\n" + indent(level + 1) + "<name>" +
           xmlescape(leaf ? genename(G, x.dnode) : "g" + std::to_string(i)) + "</name>\n" +
           indent(level + 1) + "<eventsRec>\n";
    // Speciations on the way down from the parent's image whose other side was lost, in
    // time order: the climb from x's image finds them last first.
    passed.clear();
    if (up[i] >= 0) {
      const RecNode& p = rec.nodes[up[i]];
      for (short y = x.map; y != p.map; y = S.parent[y])
        if (S.parent[y] != p.map || p.dup) passed.push_back(S.parent[y]);
    }
    for (auto it = passed.rbegin(); it != passed.rend(); ++it)
      out += indent(level + 2) + "<speciationLoss speciesLocation=\"" + xmlescape(names[*it]) +
             "\"/>\n";
    if (leaf)
      out += indent(level + 2) + "<leaf " + loc + " geneName=\"" +
             xmlescape(genename(G, x.dnode)) + "\"/>\n";
    else
      out += indent(level + 2) + (x.dup ? "<duplication " : "<speciation ") + loc + "/>\n";
    out += indent(level + 1) + "</eventsRec>\n";
    level++;
  });
  return out + "    </phylogeny>\n  </recGeneTree>\n";
}

}  // namespace

std::string reconciledtext(RootedTree& S, std::vector<UnrootedTree*>& gtree, bool xml) {
  std::vector<std::string> names = speciesnodenames(S);
  std::string out = xml ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<recPhylo>\n" +
                              speciesxml(S, names)
                        : "";
  S.setdepth(-1, 0);
  for (UnrootedTree* G : gtree) {
    G->clean(0);
    G->setlcamappings(S);
    Reconciliation rec = reconcile(*G, G->findoptimal(S));
    out += xml ? genexml(S, *G, rec, names) : nhxline(*G, rec, names);
  }
  return xml ? out + "</recPhylo>\n" : out;
}
