#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "io/inputtext.h"

class RootedTree;
class UnrootedTree;

// A tree read as standard Newick (--newick), as the node events that the tree constructors
// replay: leaves left to right, each inner node when it closes. Names of leaves stay in the
// input; quoted ones, once unquoted, in names. A gene-tree node of more children is read as a
// caterpillar: MERGE joins its children so far at each further comma.
struct NewickItem {
  enum Kind : unsigned char { LEAF, CLOSE, JOIN, TOPCLOSE, MERGE } kind;
  bool quoted;
  bool haslength;
  int labellen;
  size_t label;   // offset into the input, or into names when quoted
  size_t pos;     // offset of the node in the input, for messages
  double length;
  double support;  // CLOSE: the node's label as a number (NaN: none)
};

struct NewickTree {
  const InputText* in = nullptr;
  bool gene = false;
  // Built by the program from species ids (label holds the id): no map or -l rule applies.
  bool byspecies = false;
  // A gene tree of fewer than three leaves: read, to be left out (leftoutsmall counts them).
  bool small = false;
  // [&WEIGHT=w] before the tree: its weight in every total.
  double weight = 1.0;
  int leaves = 0;
  bool polytomies = false;  // a gene-tree node of more children than binary
  size_t start = 0;  // offset of the tree in the input
  std::vector<NewickItem> items;
  std::string names;

  const char* labelof(const NewickItem& it) const {
    return it.quoted ? names.data() + it.label : in->text + it.label;
  }
  [[noreturn]] void error(size_t pos, const std::string& what, const std::string& todo) const {
    inputerror(*in, pos, what, todo);
  }
};

// --outgroup: the species whose branch roots an unrooted species tree (three children at the
// top); without them such a tree is refused.
extern std::vector<std::string> speciesoutgroup;
// The species tree of t, rooted on speciesoutgroup when t is unrooted.
RootedTree* newickspecies(const NewickTree& t);

// Gene trees of fewer than three leaves that the list and option readers left out.
extern long leftoutsmall;

// --collapse X: gene-tree branches whose support is below X are contracted (-inf: none).
extern double collapsebelow;

// Reads one tree starting at pos (blanks, comments and a byte-order mark before it skipped)
// and returns the offset after it, its ';' included.
size_t readnewick(const InputText& in, size_t pos, bool gene, NewickTree& t);

// Whether text (a tree, or a line of a list file) reads as a Newick gene tree; quiet, for the
// plain reader's hint on its errors.
bool readsasnewick(const char* text);

// A species name as a Newick label: unchanged when it reads back as a plain label, else quoted.
std::string newicklabel(const std::string& name);

// A binary tree given as its nodes in postorder: a species id for a leaf, POSTJOIN for an
// inner node joining the two subtrees before it. The trees are numbered as the readers number
// the same tree read from text, so a tree built here behaves as one read back would.
constexpr int POSTJOIN = -1;
RootedTree* speciestreeof(const std::vector<int>& post);
// The gene tree's top edge joins the two subtrees of the last POSTJOIN.
UnrootedTree* genetreeof(const std::vector<int>& post);
// The postorder of S as it prints: left subtree, right subtree, node.
std::vector<int> postorderof(const RootedTree& S);

// A species tree from Newick text made by the program itself (quoted names); source names
// it in messages.
RootedTree* newickspeciestext(char* text, const char* source);

// The trees of -s and -g under --newick: one tree, optionally followed by ';'.
RootedTree* newickspeciestree(char* text);
UnrootedTree* newickgenetree(char* text);

// List files under --newick: any number of trees, each ending at its line end or at ';' (then
// it may span lines); blank lines and lines starting with # are skipped. A species list's line
// that names a .raw file is read as one.
void readnewickstrees(const char* fname, std::vector<RootedTree*>& stree);
void readnewickgtrees(const char* fname, std::vector<UnrootedTree*>& gtree);
// Line where the k-th gene tree that readnewickgtrees keeps from the file starts (0: none).
int newickgeneline(const char* fname, size_t k);
