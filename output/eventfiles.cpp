#include "output/eventfiles.h"

#include <cctype>
#include <vector>

#include "trees/rootedtree.h"

std::string eventstsv(const RootedTree& S, const SpeciesEvents& ev) {
  std::vector<std::string> names = speciesnodenames(S);
  // Every clade is a stretch of the whole tree's text, so the tree is written once.
  std::string whole;
  std::vector<size_t> from(S.total), to(S.total);
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step == 0) {
      from[x] = whole.size();
      whole += x < S.leaves ? names[x] : "(";
    } else if (step == 1) {
      whole += ",";
    } else {
      if (x >= S.leaves) whole += ")";
      to[x] = whole.size();
    }
  });
  std::string out = "node\tclade\tduplications\tlosses\tlineages\tgenetrees\n";
  for (int v = 0; v < S.total; v++) {
    out += std::to_string(v) + "\t";
    out.append(whole, from[v], to[v] - from[v]);
    out += "\t" + std::to_string(ev.dup[v]) + "\t" + std::to_string(ev.loss[v]) + "\t" +
           std::to_string(ev.lineages[v]) + "\t" + std::to_string(ev.genetrees[v]) + "\n";
  }
  return out;
}

std::string eventsnhx(const RootedTree& S, const SpeciesEvents& ev) {
  std::vector<std::string> names = speciesnodenames(S);
  std::string out;
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step == 0) {
      if (x >= S.leaves) out += "(";
    } else if (step == 1) {
      out += ",";
    } else {
      if (x >= S.leaves) out += ")";
      out += newicklabel(names[x]) + "[&&NHX:DUP=" + std::to_string(ev.dup[x]) +
             ":L=" + std::to_string(ev.loss[x]) + ":C=" + std::to_string(ev.lineages[x]) +
             ":G=" + std::to_string(ev.genetrees[x]) + "]";
    }
  });
  return out + ";\n";
}

std::string xmlescape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}
