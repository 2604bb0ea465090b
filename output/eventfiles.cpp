#include "output/eventfiles.h"

#include <cctype>
#include <sstream>
#include <vector>

#include "output/supportfiles.h"
#include "reconcile/costformat.h"

#include "trees/rootedtree.h"

namespace {

bool hassupport(const SupportTable* sup, int v) {
  return sup && v < static_cast<int>(sup->at.size()) && sup->at[v].node >= 0;
}

std::string change(const SupportTable* sup, int v, int k) {
  std::ostringstream out;
  out << costtext(sup->at[v].change[k].mut());
  return out.str();
}

}  // namespace

std::string eventstsv(const RootedTree& S, const SpeciesEvents& ev, const SupportTable* sup) {
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
  std::string out = "node\tclade\tduplications\tlosses\tlineages\tgenetrees";
  const bool nni = sup && sup->nni, boot = sup && sup->boot;
  if (nni) out += "\tsupport\tnni1\tnni2";
  out += boot ? "\tbootstrap\n" : "\n";
  for (int v = 0; v < S.total; v++) {
    out += std::to_string(v) + "\t";
    out.append(whole, from[v], to[v] - from[v]);
    out += "\t" + eventcount(ev.dup[v]) + "\t" + eventcount(ev.loss[v]) + "\t" +
           eventcount(ev.lineages[v]) + "\t" + eventcount(ev.genetrees[v]);
    if (nni) {
      if (hassupport(sup, v)) {
        const double x = sup->at[v].support;
        out += "\t" + (x < 0 ? std::string("-") : supporttext(x)) + "\t" + change(sup, v, 0) +
               "\t" + change(sup, v, 1);
      } else {
        out += "\t-\t-\t-";
      }
    }
    if (boot) {
      const double x = hassupport(sup, v) ? sup->at[v].bootstrap : -1;
      out += "\t" + (x < 0 ? std::string("-") : supporttext(x));
    }
    out += "\n";
  }
  return out;
}

std::string eventsnhx(const RootedTree& S, const SpeciesEvents& ev, const SupportTable* sup) {
  std::vector<std::string> names = speciesnodenames(S);
  std::string out;
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step == 0) {
      if (x >= S.leaves) out += "(";
    } else if (step == 1) {
      out += ",";
    } else {
      if (x >= S.leaves) out += ")";
      out += newicklabel(names[x]) + "[&&NHX:DUP=" + eventcount(ev.dup[x]) +
             ":L=" + eventcount(ev.loss[x]) + ":C=" + eventcount(ev.lineages[x]) +
             ":G=" + eventcount(ev.genetrees[x]);
      if (hassupport(sup, x) && sup->nni) {
        const double s = sup->at[x].support;
        if (s >= 0) out += ":SUPPORT=" + supporttext(s);
        out += ":NNI1=" + change(sup, x, 0) + ":NNI2=" + change(sup, x, 1);
      }
      if (hassupport(sup, x) && sup->boot && sup->at[x].bootstrap >= 0)
        out += ":BOOTSTRAP=" + supporttext(sup->at[x].bootstrap);
      out += "]";
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
