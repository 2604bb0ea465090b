#include "output/reconciledfiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "output/eventfiles.h"
#include "output/reconciliation.h"
#include "reconcile/costformat.h"
#include "trees/edgelabels.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

std::string genename(const UnrootedTree& G, short x) {
  return G.leaflabels ? G.leaflabels[x] : specnames[G.lab[x]];
}

// What the gene tree's text gave the branch above each node of one rooting.
struct Branches {
  std::vector<int> up;              // parent index, -1 for the root
  std::vector<std::string> length;  // shortest decimal that reads back, "" for none
  std::vector<std::string> label;   // inner nodes: support value or name, "" for none
};

Branches branches(const UnrootedTree& G, const Reconciliation& rec) {
  size_t n = rec.nodes.size();
  Branches b{std::vector<int>(n, -1), std::vector<std::string>(n), std::vector<std::string>(n)};
  for (size_t i = 0; i < n; i++)
    for (int c : rec.nodes[i].child)
      if (c >= 0) b.up[c] = static_cast<int>(i);
  for (size_t i = 1; i < n; i++) {
    short v = rec.nodes[i].dnode;
    double len = G.brlen ? G.brlen[v] : NOLENGTH;
    // The root splits the edge it stands on in halves (exactly: a half of a double is one).
    if (b.up[i] == 0 && len != NOLENGTH) len /= 2;
    if (len != NOLENGTH && std::isfinite(len)) {
      std::ostringstream out;
      out << exactcost(len);
      b.length[i] = out.str();
    }
    if (rec.nodes[i].child[0] >= 0) b.label[i] = edgelabel(G, v);
  }
  return b;
}

// The species nodes where the lineage above node i sped through a speciation and lost the
// copy on the other side: the lost sides, latest first. Below a speciation parent, the
// parent's own speciation is no loss; below a duplication it is, when the lineage goes on
// below the duplication's species node.
std::vector<short> lostsides(const RootedTree& S, const Reconciliation& rec, const Branches& b,
                             int i) {
  std::vector<short> lost;
  if (b.up[i] < 0) return lost;
  const RecNode& p = rec.nodes[b.up[i]];
  for (short y = rec.nodes[i].map; y != p.map; y = S.parent[y]) {
    short z = S.parent[y];
    if (z != p.map || p.dup) lost.push_back(S.son[z] == y ? S.son[z - S.leaves] : S.son[z]);
  }
  return lost;
}

// A label as Newick writes it: quoted when it holds what ends an unquoted one.
std::string newicktoken(const std::string& s) {
  if (s.find_first_of(" \t\r\n()[]':;,") == std::string::npos) return s;
  std::string q = "'";
  for (char c : s) q += c == '\'' ? "''" : std::string(1, c);
  return q + "'";
}

std::string nhxline(const RootedTree& S, const UnrootedTree& G, const Reconciliation& rec,
                    const std::vector<std::string>& names) {
  Branches b = branches(G, rec);
  std::string out;
  depthfirst(0, GeneKids{rec}, [&](int i, int step) {
    const RecNode& x = rec.nodes[i];
    bool leaf = x.child[0] < 0;
    if (step == 0) {
      out += leaf ? newicklabel(genename(G, x.dnode)) : "(";
    } else if (step == 1) {
      out += ",";
    } else {
      if (!leaf) out += ")" + newicktoken(b.label[i]);
      if (!b.length[i].empty()) out += ":" + b.length[i];
      out += "[&&NHX:S=" + names[x.map];
      if (!leaf) out += x.dup ? ":D=Y" : ":D=N";
      out += ":L=" + std::to_string(lostsides(S, rec, b, i).size()) + "]";
    }
  });
  return out + ";\n";
}

// Deep trees would drown in leading blanks: nesting beyond this is not indented further.
constexpr int MAXINDENT = 32;

std::string indent(int level) { return std::string(2 * std::min(level, MAXINDENT), ' '); }

std::string speciesxml(const RootedTree& S, const std::vector<std::string>& names) {
  std::string out = "  <spTree>\n    <phylogeny rooted=\"true\">\n";
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

// A label of numbers separated by '/' (95, 0.95, 80/95) as the numbers, each the shortest
// decimal that reads back; empty for any other label (a name).
std::vector<std::string> supportvalues(const std::string& label) {
  std::vector<std::string> values;
  for (size_t p = 0; p <= label.size();) {
    size_t slash = std::min(label.find('/', p), label.size());
    std::string part = label.substr(p, slash - p);
    char* end;
    double v = part.empty() ? 0 : strtod(part.c_str(), &end);
    if (part.empty() || *end || !std::isfinite(v)) return {};
    std::ostringstream out;
    out << exactcost(v);
    values.push_back(out.str());
    p = slash + 1;
  }
  return values;
}

// Each gene node is a clade with its name, the length and support values of its branch, and
// its event. A speciation passed on the branch above it whose other side was lost is a
// speciation clade between the two, holding the node's clade and a clade of one loss event;
// such clades carry no length, the gene branch keeps its whole length on the node's clade.
std::string genexml(const RootedTree& S, const UnrootedTree& G, const Reconciliation& rec,
                    const std::vector<std::string>& names) {
  Branches b = branches(G, rec);
  std::string out = "  <recGeneTree>\n    <phylogeny rooted=\"true\">\n";
  int level = 3;
  auto open = [&](const std::string& name) {
    out += indent(level) + "<clade>\n" + indent(level + 1) + "<name>" + xmlescape(name) +
           "</name>\n";
  };
  auto event = [&](const std::string& element) {
    out += indent(level + 1) + "<eventsRec>\n" + indent(level + 2) + element + "\n" +
           indent(level + 1) + "</eventsRec>\n";
  };
  auto where = [&](short s) { return "speciesLocation=\"" + xmlescape(names[s]) + "\""; };
  depthfirst(0, GeneKids{rec}, [&](int i, int step) {
    const RecNode& x = rec.nodes[i];
    bool leaf = x.child[0] < 0;
    std::vector<short> lost = step == 1 ? std::vector<short>() : lostsides(S, rec, b, i);
    if (step == 0) {
      for (size_t k = lost.size(); k-- > 0;) {
        open("g" + std::to_string(i) + "." + std::to_string(lost.size() - k));
        event("<speciation " + where(S.parent[lost[k]]) + "/>");
        level++;
      }
      std::vector<std::string> support = supportvalues(b.label[i]);
      std::string name = leaf ? genename(G, x.dnode)
                         : support.empty() && !b.label[i].empty() ? b.label[i]
                                                                   : "g" + std::to_string(i);
      open(name);
      if (!b.length[i].empty())
        out += indent(level + 1) + "<branch_length>" + b.length[i] + "</branch_length>\n";
      for (const std::string& v : support)
        out += indent(level + 1) + "<confidence type=\"support\">" + v + "</confidence>\n";
      if (leaf)
        event("<leaf " + where(x.map) + " geneName=\"" + xmlescape(genename(G, x.dnode)) +
              "\"/>");
      else
        event(std::string(x.dup ? "<duplication " : "<speciation ") + where(x.map) + "/>");
      level++;
    } else if (step == 2) {
      level--;
      out += indent(level) + "</clade>\n";
      for (short s : lost) {
        open("loss");
        event("<loss " + where(s) + "/>");
        out += indent(level) + "</clade>\n";
        level--;
        out += indent(level) + "</clade>\n";
      }
    }
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
    out += xml ? genexml(S, *G, rec, names) : nhxline(S, *G, rec, names);
  }
  return xml ? out + "</recPhylo>\n" : out;
}
