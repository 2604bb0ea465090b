#include "search/nnidiag.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "reconcile/costformat.h"
#include "parallel/processes.h"
#include "store/arrtab.h"
#include "trees/randomdraws.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "io/savefile.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

int dumpcnt = 0;

// The "xx=" line truncates the summed cost to an int; saturate so that huge or NaN weights
// cannot make the conversion undefined.
static int truncated(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return 2147483647;
  if (x <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(x);
}

static DlTotal prepare(RootedTree* s, std::vector<UnrootedTree*>& genes) {
  DlTotal total = s->initGTS(genes, 1);
  // Without weights the per-gene sum, as always; with them the weighted total.
  double sum = 0;
  if (anygeneweights())
    sum = total.mut();
  else
    for (UnrootedTree* g : genes) sum += g->curcost.mut();
  std::cout << "xx=" << truncated(sum) << std::endl;
  std::cout << "TET" << std::endl;
  return total;
}

void RootedTree::_nniprint(std::string title, UnrootedTree& g, int index, std::ostream& out) {
  if (!title.empty()) out << "SPECIES TREE " << title << "\n";
  for (short i = 0; i < total; i++) {
    printdebnode(out, i);
    out << "  out=" << mout[index][i] << " " << "  gspec=[";
    for (short v = mspec[index][i]; v != -1; v = g.specnext[v]) out << " " << v;
    out << "] " << "  gdup=[";
    for (short v = mdup[index][i]; v != -1; v = g.dupnext[v]) out << " " << v;
    out << "]" << "\n";
  }
}

static void printrow(std::ostream& out, const char* name, short* row, int n) {
  out << name << " ";
  for (int s = 0; s < n; s++) out << row[s] << " ";
  out << "\n";
}

void RootedTree::dumpnnistructs(std::vector<UnrootedTree*>& genes, int selector, int tag) {
  char buf[64];
  if (tag > 0)
    snprintf(buf, sizeof buf, "%03d.nni.%02d.dump", tag, dumpcnt);
  else
    snprintf(buf, sizeof buf, "nni.%02d.dump", dumpcnt);
  std::string name = outprefix.empty() ? buf : outprefix + "." + buf;
  dumpcnt++;
  std::cout << "Dump nnistructs " << dumpcnt << " " << name << std::endl;
  saveraw(name + ".raw");

  if (!mainprocess()) return;  // one process of a run writes the files
  std::ostringstream out;
  out << "#Species tree" << "\n" << *this << "\n";
  out << "#Species" << "\n";
  for (size_t i = 0; i < specnames.size(); i++) out << i << " " << specnames[i] << "\n";
  out << "#Number of gene trees" << "\n" << genes.size() << "\n";
  for (int r = 0; r < static_cast<int>(genes.size()); r++) {
    if (selector >= 0 && r != selector) continue;
    UnrootedTree& g = *genes[r];
    out << "##### Gene tree " << r << "\n";
    out << g.curcost << " " << costtext(g.curcost.mut()) << "\n";
    out << g << "\n";
    printrow(out, "mdup", mdup[r], total);
    printrow(out, "mspec", mspec[r], total);
    printrow(out, "mout", mout[r], total);
    out << "#Species tree vs gene tree structs" << "\n";
    _nniprint("", g, r, out);
  }
  writeoutput(name, out.str());
}

void nnitester(RootedTree* s, std::vector<UnrootedTree*>& genes) {
  // A move needs an internal node with an internal child; without one the draws never end.
  if (s->leaves < 3) fatal("The NNI test needs a species tree of at least 3 leaves");
  DlTotal total = prepare(s, genes);
  ArrTab store;
  int count = 0, remaining = 10000;
  s->dumpnnistructs(genes, -1, 777);
  std::vector<short> buf(s->reprlen());
  DlTotal delta;
  int info = 0;
  std::string text;
  for (;;) {
    short a = static_cast<short>(s->leaves + drawrandom() % s->internal);
    int variant = drawrandom() % 2;
    if (!s->nni(a, variant, genes, delta, info, text)) continue;
    total = total + delta;
    s->dumpnnistructs(genes, -1, 777);
    std::cout << "MOVE " << a << " " << variant << std::endl;
    count++;
    TreeRepr* entry = nullptr;
    store.add(s->repr(buf.data()), s->reprlen(), total.mut(), entry);
    if (remaining == 0) break;
    remaining--;
  }
  std::cout << "Dist " << count << std::endl;
  store.save();
}

void nnitester2() {
  char rawname[] = "xx/nni.01.dump.raw";
  char genetext[] = "(((CAEEL,CAERE),CAEBR),CAEBR)";
  RootedTree* s = new RootedTree(rawname);
  std::vector<UnrootedTree*> genes{new UnrootedTree(genetext)};
  const short a = 49;
  if (a < s->leaves || a >= s->total) {
    std::ostringstream msg;
    msg << "Node " << a << " is not an internal node of the species tree in " << rawname << ": ";
    s->print(msg);
    fatal(msg.str());
  }
  DlTotal total = prepare(s, genes);
  ArrTab store;
  s->dumpnnistructs(genes, -1, 777);
  DlTotal delta;
  int info = 0;
  std::string text;
  if (s->nni(a, 1, genes, delta, info, text) == 1) {
    total = total + delta;
    s->dumpnnistructs(genes, -1, 777);
  }
  std::vector<short> buf(s->reprlen());
  TreeRepr* entry = nullptr;
  store.add(s->repr(buf.data()), s->reprlen(), total.mut(), entry);
}
