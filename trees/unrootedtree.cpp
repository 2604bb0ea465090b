#include "trees/unrootedtree.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <iostream>

#include "trees/edgelabels.h"
#include "trees/treeweights.h"
#include "trees/fatal.h"
#include "trees/species.h"

const int offset[6] = {1, 2, 1, -1, -2, -1};

UnrootedTree::~UnrootedTree() {
  forgetedgelabels(this);
  forgetgeneweight(this);
  delete[] brlen;
  if (leaflabels)
    for (int i = 0; i < leaves; i++) free(leaflabels[i]);
  delete[] leaflabels;
  delete[] lcamap;
  delete[] dupcnt;
  delete[] losscnt;
  delete[] dupnext;
  delete[] specnext;
  delete[] rootingcost;
}

short UnrootedTree::createNode3(short x, short y, double len, short& nextinternal) {
  if (nextinternal + 2 >= total)
    fatal("Tree text holds more internal nodes than its leaves allow");
  short t = nextinternal;
  brlen[t] = brlen[x];
  brlen[t + 1] = brlen[y];
  parent[t] = x;
  parent[x] = t;
  parent[t + 1] = y;
  parent[y] = t + 1;
  brlen[t + 2] = len;
  nextinternal += 3;
  return t + 2;
}

std::ostream& UnrootedTree::_printdebnode(std::ostream& out, short v) {
  Tree::_printdebnode(out, v);
  if (lcamap) out << " map=" << std::setw(3) << lcamap[v];
  printsubtree(out, v, 0);
  out << "===";
  return printsubtree(out, parent[v], 0);
}

std::ostream& UnrootedTree::print(std::ostream& out) { return printsubtree(out, inroot, 1); }

std::ostream& UnrootedTree::printrooting(std::ostream& out, short v) {
  return printsubtree(out, v, 1);
}

void UnrootedTree::getchildren(short v, short& a, short& b) {
  int j = (v - leaves) % 3;
  a = parent[v + offset[2 * j]];
  b = parent[v + offset[2 * j + 1]];
}

std::ostream& UnrootedTree::printsubtree(std::ostream& out, short v, int asroot) {
  if (asroot) {
    out << "(";
    printsubtree(out, v, 0);
    out << ",";
    printsubtree(out, parent[v], 0);
    return out << ")";
  }
  if (v < leaves) return out << printname(lab[v]);
  short a, b;
  getchildren(v, a, b);
  out << "(";
  printsubtree(out, a, 0);
  out << ",";
  printsubtree(out, b, 0);
  return out << ")";
}

std::ostream& operator<<(std::ostream& out, UnrootedTree& t) { return t.print(out); }

void jointopedge(UnrootedTree& G, short first, short second) {
  G.parent[first] = second;
  G.parent[second] = first;
  // The two branches below a rooted text's root make one edge, as long as both together.
  double& a = G.brlen[first];
  double& b = G.brlen[second];
  if (a != NOLENGTH && b != NOLENGTH)
    a = b = a + b;
  else if (a != NOLENGTH)
    b = a;
  else
    a = b;
}
