#include "trees/unrootedtree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>

#include "trees/tokenizer.h"
#include "trees/edgelabels.h"
#include "trees/treeweights.h"
#include "trees/fatal.h"
#include "trees/species.h"
#include "trees/tokenizer.h"

// Parentheses open in the text being parsed. Reset for every tree: a test build may unwind
// out of parse through its exit hook.
static thread_local int nesting = 0;

const int offset[6] = {1, 2, 1, -1, -2, -1};

UnrootedTree::UnrootedTree(char* text) : UnrootedTree() {
  int n = lfnum(text);
  // Directed-node ids would not fit 16 bits: refuse before any array is made.
  if (n > MAXGENELEAVES) treetoolarge(n);
  init(n, 3 * n - 6, text);
  brlen = new double[total];
  std::fill(brlen, brlen + total, NOLENGTH);
  if (gsid) leaflabels = new char*[n]();
  int pos = 0;
  short nextleaf = 0, nextinternal = static_cast<short>(n);
  nesting = 0;
  inroot = parse(text, pos, 1, 0, gsid ? 1 : 0, nextleaf, nextinternal);
  checkparsing(text + pos);
  if (nextleaf != leaves || nextinternal != total)
    fatal("Tree text holds " + std::to_string(nextleaf) + " leaves where " +
          std::to_string(leaves) + " were counted: " + std::string(text, strcspn(text, "\r\n")));
}

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

short UnrootedTree::parse(char* text, int& pos, int top, int treenr, int keeplabels,
                          short& nextleaf, short& nextinternal) {
  // An unrooted binary tree of n leaves nests at most n deep; deeper text would only
  // exhaust the stack.
  char* tok = getTok(text, pos, treenr);
  if (tok[0] == '(') {
    if (++nesting > leaves) fatal("Tree text nests deeper than its leaves allow");
    short first = parse(text, pos, 0, treenr, keeplabels, nextleaf, nextinternal);
    getTok(text, pos, treenr);
    short second = parse(text, pos, 0, treenr, keeplabels, nextleaf, nextinternal);
    nesting--;
    if (!top) {
      if (text[pos] != ')') expectTok(")", text, pos);
      getTok(text, pos, treenr);
      double len = text[pos] == ':' ? parseBranchLen(text, pos, treenr) : NOLENGTH;
      return createNode3(first, second, len, nextinternal);
    }
    if (text[pos] == ',') {
      getTok(text, pos, treenr);
      first = createNode3(first, second, NOLENGTH, nextinternal);
      second = parse(text, pos, 0, treenr, keeplabels, nextleaf, nextinternal);
    }
    jointopedge(*this, first, second);
    if (text[pos] != ')') expectTok(")", text, pos);
    getTok(text, pos, treenr);
    if (text[pos] == ':') parseBranchLen(text, pos, treenr);
    inroot = second;
    return second;
  }
  int len = static_cast<int>(text + pos - tok);
  if (nextleaf >= leaves)
    fatal("Tree text holds more leaves than the " + std::to_string(leaves) + " counted: " +
          std::string(text, strcspn(text, "\r\n")));
  short v = nextleaf;
  lab[v] = static_cast<short>(gsextract(tok, len));
  // Stored at once, so the tree owns the copy if a later step fails.
  if (keeplabels) leaflabels[v] = mstrndup(tok, len);
  if (text[pos] == ':') brlen[v] = parseBranchLen(text, pos, treenr);
  nextleaf++;
  return v;
}

double UnrootedTree::parseBranchLen(char* text, int& pos, int treenr) {
  getTok(text, pos, treenr);
  char* tok = getTok(text, pos, treenr);
  // Read from a copy of the token: a scan of the whole rest of a long line per length
  // would make parsing quadratic.
  char buf[64];
  size_t n = std::min<size_t>(text + pos - tok, sizeof buf - 1);
  memcpy(buf, tok, n);
  buf[n] = 0;
  double len;
  if (sscanf(buf, "%lf", &len) != 1) {
    // No line end and its own exit status, as documented for a bad length.
    failquietly();
    std::cerr << "Parse error: number expected after :";
    kelvoraexit(-10);
  }
  return len;
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
