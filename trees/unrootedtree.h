#pragma once
#include <ostream>
#include <set>

#include "trees/dltotal.h"
#include "trees/tree.h"

class RootedTree;
struct NewickTree;

// Children of internal directed node v at position j = (v - leaves) % 3 in its triple:
// opposite of v + offset[2j], then opposite of v + offset[2j + 1].
extern const int offset[6];

// Length of a directed node whose edge carries no length in the text.
constexpr double NOLENGTH = -100.0;

class UnrootedTree : public Tree {
 public:
  double* brlen = nullptr;
  char** leaflabels = nullptr;
  short inroot = -1;
  short* lcamap = nullptr;   // -1: not computed yet
  short rootmap = -1;
  int* dupcnt = nullptr;     // -1: not computed yet
  int* losscnt = nullptr;
  short* dupnext = nullptr;
  short* specnext = nullptr;
  long* rootingcost = nullptr;  // wider than 16 bits so large scores never wrap
  DlCost curcost{0, 0};

  // Reading lives in io/: the text constructor, parse and parseBranchLen in
  // io/plaintree.cpp, the Newick constructor in io/newick.cpp.
  explicit UnrootedTree(char* text);
  explicit UnrootedTree(const NewickTree& nw);
  ~UnrootedTree() override;

  short parse(char* text, int& pos, int top, int treenr, int keeplabels, short& nextleaf,
              short& nextinternal);
  double parseBranchLen(char* text, int& pos, int treenr);
  short createNode3(short x, short y, double len, short& nextinternal);

  std::ostream& _printdebnode(std::ostream& out, short v) override;
  virtual std::ostream& print(std::ostream& out);
  virtual std::ostream& printrooting(std::ostream& out, short v);
  virtual void getchildren(short v, short& a, short& b);
  virtual short _setmaps(RootedTree& S, short v);
  virtual std::ostream& printsubtree(std::ostream& out, short v, int asroot);
  virtual std::ostream& linfo(std::ostream& out, short v, long best, int sign);
  virtual std::ostream& printlsubtree(std::ostream& out, short v, long best, int side);
  virtual void setlcamappings(RootedTree& S);
  virtual void clean(int);
  virtual int _dlcostsub(RootedTree& S, short v);
  virtual DlCost dlcost(RootedTree& S, short v);

  short dirmapparent(short v);
  std::set<short> getcluster(short v);
  std::set<short> getrootcluster(short v);
  short clustersize(short v);
  short findoptimal(RootedTree& S);
  void preparemaplist(short* duphead, short* spechead, short* dupcount, short* speccount,
                      int alloc);
  void pf(std::ostream& out, RootedTree& S, int code, int ladder);

 private:
  // Target of the text constructor's delegation, so that a test build that unwinds from a
  // fatal error runs the destructor and frees what was built.
  UnrootedTree() = default;
};

std::ostream& operator<<(std::ostream& out, UnrootedTree& t);

// Joins the two halves of a parsed tree by the edge between first and second, which carries
// the length either side was given, or the sum of both.
void jointopedge(UnrootedTree& G, short first, short second);
