#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "io/genemap.h"
#include "io/tokenizer.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

// The plain tree text of -s, -g and the list files: species trees, binary, and unrooted gene
// trees, parsed straight into the tree arrays.

// Parentheses open in the text being parsed, species tree and gene tree (gene trees are
// parsed on worker threads too). Reset for every tree: a test build may unwind out of parse
// through its exit hook.
static int rootednesting = 0;
static thread_local int unrootednesting = 0;

RootedTree::RootedTree(char* text) : RootedTree() {
  if (strstr(text, ".raw")) {
    readraw(text);
  } else {
    int n = lfnum(text);
    init(n, n - 1, text);
    int pos = 0;
    short nextleaf = 0, nextinternal = static_cast<short>(n);
    rootednesting = 0;
    root = parse(text, pos, 0, nextleaf, nextinternal);
    checkparsing(text + pos);
    if (nextleaf != leaves || nextinternal != total)
      fatal("Tree text holds " + std::to_string(nextleaf) + " leaves where " +
            std::to_string(leaves) + " were counted: " + std::string(text, strcspn(text, "\r\n")));
  }
  depth = nullptr;
  lcatab = nullptr;
  mdup = mspec = nullptr;
}

short RootedTree::parse(char* text, int& pos, int treenr, short& nextleaf, short& nextinternal) {
  // A binary tree of n leaves nests at most n deep; deeper text cannot fit and would only
  // exhaust the stack.
  char* tok = getTok(text, pos, treenr);
  if (tok[0] == '(') {
    if (++rootednesting > leaves) fatal("Is it a binary tree? Too many nodes in rooted tree");
    short left = parse(text, pos, treenr, nextleaf, nextinternal);
    getTok(text, pos, treenr);
    short right = parse(text, pos, treenr, nextleaf, nextinternal);
    getTok(text, pos, treenr);
    rootednesting--;
    if (nextinternal >= total) fatal("Is it a binary tree? Too many nodes in rooted tree");
    short v = nextinternal;
    son[v] = right;
    son[v - leaves] = left;
    parent[left] = v;
    parent[right] = v;
    level[v] = static_cast<short>(1 + std::max(level[left], level[right]));
    nextinternal++;
    return v;
  }
  if (nextleaf >= leaves) fatal("Is it a binary tree? Too many leaves in rooted tree");
  short v = nextleaf;
  lab[v] = static_cast<short>(getspecies(tok, static_cast<int>(text + pos - tok)));
  level[v] = 0;
  nextleaf++;
  return v;
}

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
  unrootednesting = 0;
  inroot = parse(text, pos, 1, 0, gsid ? 1 : 0, nextleaf, nextinternal);
  checkparsing(text + pos);
  if (nextleaf != leaves || nextinternal != total)
    fatal("Tree text holds " + std::to_string(nextleaf) + " leaves where " +
          std::to_string(leaves) + " were counted: " + std::string(text, strcspn(text, "\r\n")));
}

short UnrootedTree::parse(char* text, int& pos, int top, int treenr, int keeplabels,
                          short& nextleaf, short& nextinternal) {
  // An unrooted binary tree of n leaves nests at most n deep; deeper text would only
  // exhaust the stack.
  char* tok = getTok(text, pos, treenr);
  if (tok[0] == '(') {
    if (++unrootednesting > leaves) fatal("Tree text nests deeper than its leaves allow");
    short first = parse(text, pos, 0, treenr, keeplabels, nextleaf, nextinternal);
    getTok(text, pos, treenr);
    short second = parse(text, pos, 0, treenr, keeplabels, nextleaf, nextinternal);
    unrootednesting--;
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
