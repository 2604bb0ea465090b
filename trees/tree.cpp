#include "trees/tree.h"

#include <iomanip>
#include <iostream>

#include "trees/fatal.h"
#include "trees/species.h"

Tree::~Tree() {
  delete[] parent;
  delete[] lab;
}

void treetoolarge(int leaves) {
  failquietly();
  // The size message goes to standard output.
  std::cout << "Tree is too large. " << leaves << " leaves." << std::endl;
  std::cout << "Compile with SPLARGE or SPMED macro." << std::endl;
  kelvoraexit(-1);
}

void Tree::init(int leaves, int internal, const char* text) {
  this->leaves = leaves;
  this->internal = internal;
  total = leaves + internal;
  if (leaves > MAXLEAVES) treetoolarge(leaves);
  if (internal <= 0) {
    failquietly();
    if (text) std::cout << text << std::endl;
    fatal("Trees composed of leaves only are not allowed");
  }
  parent = new short[total];
  lab = new short[leaves];
  std::fill(parent, parent + total, -1);
  std::fill(lab, lab + leaves, -1);
}

std::ostream& Tree::_printdebnode(std::ostream& out, short v) {
  out << std::setw(3) << v << " " << std::setw(3) << parent[v];
  if (v < leaves)
    out << " $" << lab[v] << " " << specnames[lab[v]];
  else
    out << " *   ";
  return out;
}

std::ostream& Tree::printdebnode(std::ostream& out, short v) {
  out << std::left;
  _printdebnode(out, v);
  out << std::right;
  return out;
}

std::ostream& Tree::printdeb(std::ostream& out) {
  out << "leaves=" << leaves << " internal=" << internal << " total=" << total << std::endl;
  for (int v = 0; v < total; v++) printdebnode(out, static_cast<short>(v)) << std::endl;
  return out;
}
