#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "trees/dltotal.h"
#include "trees/tree.h"

class UnrootedTree;
struct TreeRepr;
struct NewickTree;

class RootedTree : public Tree {
 public:
  short root = -1;
  short* level = nullptr;
  // Left child of internal v at son[v - leaves], right child at son[v]; son[leaves - 1] unused (-1).
  short* son = nullptr;
  short* depth = nullptr;
  // Search structures, one row per gene tree, one entry per species node.
  short** mdup = nullptr;
  short** mspec = nullptr;
  short** mout = nullptr;
  unsigned char* nnimark = nullptr;
  // Row i (1 <= i < total) holds i entries: entry j is the LCA of nodes i and j.
  short** lcatab = nullptr;

  int nnigenes = 0;          // rows of mdup, mspec and mout
  int nnimarksize = 0;       // bytes of nnimark
  // Scratch of the move, one entry per node: 1 on the path from the lower node to the root.
  std::vector<unsigned char> nnipath;
  // Cache of findlab: leaf of each species id (-1 none); rebuilt when the labels change.
  std::vector<short> leafofspecies;

  // Reading and writing live in io/: the text constructor and parse in io/plaintree.cpp,
  // readraw and saveraw in io/rawfile.cpp, the Newick constructor in io/newick.cpp.
  explicit RootedTree(char* text);
  explicit RootedTree(const NewickTree& nw);
  ~RootedTree() override;

  void init(int leaves, int internal, const char* text);
  void freennirows();
  short parse(char* text, int& pos, int treenr, short& nextleaf, short& nextinternal);
  void readraw(const char* filename);
  void saveraw(const std::string& filename);
  void setlevel(short v);
  void _setdepth(short v, int d);
  short findlab(short s);

  std::ostream& _printdebnode(std::ostream& out, short v) override;
  virtual std::ostream& print(std::ostream& out);
  virtual void getchildren(short v, short& left, short& right);
  virtual std::ostream& printsubtree(std::ostream& out, short v);

  // Species-tree queries (reconcile/speciesqueries.cpp).
  void setdepth(short, short);
  void initlca();
  void initlcatab();
  short _lca(short a, short b);
  short lca(short a, short b);
  virtual int dist(short a, short b);
  int getlosses(short m, short c1, short c2);
  int isparent(short a, short x, short b);
  short clustersize(short v);

  // Search structures and the NNI move (search/).
  DlTotal initGTS(std::vector<UnrootedTree*>& genes, int first);
  void nniinit(std::vector<UnrootedTree*>& genes, int alloc);
  void nnireinit(std::vector<UnrootedTree*>& genes);
  short _outdistribution(short s, short* dupcount, short* speccount, short* out);
  void outdlcost(short top, short* dupcount, short* speccount, DlCost& cost, short leaves);
  short _outdlcost(short s, short* dupcount, short* speccount, DlCost& cost);
  int nni(short a, int variant, std::vector<UnrootedTree*>& genes, DlTotal& delta, int& info,
          std::string& text);
  void dumpnnistructs(std::vector<UnrootedTree*>& genes, int selector, int tag);
  void _nniprint(std::string title, UnrootedTree& g, int index, std::ostream& out);

  // Canonical encoding (store/treerepr.cpp).
  int reprlen();
  virtual void _repr(short* dst, short v, int& pos, short* mm);
  virtual short _setmm(short v, short* mm);
  virtual short* repr(short* buf);
  void replace(TreeRepr* r);

 private:
  // Target of the text constructor's delegation, so that a test build that unwinds from a
  // fatal error runs the destructor and frees what was built.
  RootedTree() = default;
};

std::ostream& operator<<(std::ostream& out, RootedTree& t);
