#pragma once
#include <ostream>

constexpr int MAXLEAVES = 15000;
// Directed-node ids of a gene tree (4n - 6 of them) must fit 16 bits.
constexpr int MAXGENELEAVES = 8193;

class Tree {
 public:
  int leaves = 0;
  int internal = 0;
  int total = 0;
  short* parent = nullptr;
  short* lab = nullptr;

  Tree() = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  virtual ~Tree();

  void init(int leaves, int internal, const char* text);

  virtual std::ostream& _printdebnode(std::ostream& out, short v);
  virtual std::ostream& printdebnode(std::ostream& out, short v);
  virtual std::ostream& printdeb(std::ostream& out);
};

// Size messages of init, shared with the gene-tree check that runs before any array exists.
[[noreturn]] void treetoolarge(int leaves);
