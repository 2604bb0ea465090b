#include "trees/rootedtree.h"

#include <algorithm>
#include <iomanip>
#include <iostream>

#include "trees/fatal.h"
#include "trees/innernames.h"
#include "trees/species.h"

RootedTree::~RootedTree() {
  forgetinnernames(this);
  delete[] level;
  delete[] son;
  delete[] depth;
  freennirows();
  delete[] nnimark;
  if (lcatab) {
    for (int i = 1; i < total; i++) delete[] lcatab[i];
    delete[] lcatab;
  }
}

void RootedTree::freennirows() {
  if (!mdup) return;
  // One block per gene tree, at mdup[g]; mspec[g] and mout[g] point into it.
  for (int g = 0; g < nnigenes; g++) delete[] mdup[g];
  delete[] mdup;
  delete[] mspec;
  delete[] mout;
  mdup = mspec = mout = nullptr;
  nnigenes = 0;
}

void RootedTree::init(int leaves, int internal, const char* text) {
  Tree::init(leaves, internal, text);
  son = new short[total];
  level = new short[total];
  std::fill(son, son + total, -1);
  std::fill(level, level + total, 0);
  depth = nullptr;
}

void RootedTree::setlevel(short v) {
  if (v < leaves) {
    level[v] = 0;
    return;
  }
  setlevel(son[v - leaves]);
  setlevel(son[v]);
  level[v] = static_cast<short>(1 + std::max(level[son[v - leaves]], level[son[v]]));
}

void RootedTree::_setdepth(short v, int d) {
  depth[v] = static_cast<short>(d);
  if (v >= leaves) {
    _setdepth(son[v - leaves], d + 1);
    _setdepth(son[v], d + 1);
  }
}

short RootedTree::findlab(short s) {
  if (s < 0) s = -1;
  if (s >= 0 && static_cast<size_t>(s) >= leafofspecies.size()) {
    leafofspecies.assign(std::max(specnames.size(), static_cast<size_t>(s) + 1), -1);
    for (int v = leaves - 1; v >= 0; v--)
      if (lab[v] >= 0) leafofspecies[lab[v]] = static_cast<short>(v);
  }
  if (s >= 0 && leafofspecies[s] >= 0) return leafofspecies[s];
  std::cerr << "Species lab " << (s >= 0 ? specnames[s] : std::string()) << " (" << s
            << ") not found in the tree: ";
  print(std::cerr);
  std::cerr << std::endl;
  kelvoraexit(-1);
}

std::ostream& RootedTree::_printdebnode(std::ostream& out, short v) {
  Tree::_printdebnode(out, v);
  if (v >= leaves) out << " " << std::setw(3) << son[v - leaves] << " " << std::setw(3) << son[v];
  // The heads of the first gene tree's lists, once the search structures exist.
  if (mdup && nnigenes > 0) out << " gd=" << std::setw(3) << mdup[0][v];
  if (mspec && nnigenes > 0) out << " gs=" << std::setw(3) << mspec[0][v];
  return printsubtree(out, v);
}

std::ostream& RootedTree::print(std::ostream& out) { return printsubtree(out, root); }

void RootedTree::getchildren(short v, short& left, short& right) {
  left = son[v - leaves];
  right = son[v];
}

std::ostream& RootedTree::printsubtree(std::ostream& out, short v) {
  if (v < leaves) return out << printname(lab[v]);
  out << "(";
  printsubtree(out, son[v - leaves]);
  out << ",";
  printsubtree(out, son[v]);
  return out << ")";
}

std::ostream& operator<<(std::ostream& out, RootedTree& t) { return t.print(out); }
