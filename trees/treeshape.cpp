#include "trees/treeshape.h"

#include <algorithm>
#include <string>

#include "trees/fatal.h"
#include "trees/innernames.h"
#include "trees/rootedtree.h"

TreeShape shapeof(const RootedTree& S) {
  TreeShape t;
  t.root = S.root;
  t.lab.assign(S.lab, S.lab + S.leaves);
  t.parent.assign(S.parent, S.parent + S.total);
  t.son.assign(S.son, S.son + S.total);
  return t;
}

void setshape(RootedTree& S, const TreeShape& t) {
  if (t.lab.size() != static_cast<size_t>(S.leaves) || t.parent.size() != static_cast<size_t>(S.total) ||
      t.son.size() != static_cast<size_t>(S.total) || t.root < S.leaves || t.root >= S.total)
    fatal("A saved species tree does not fit the tree of " + std::to_string(S.leaves) + " species");
  // Every node reached once from the root, each child naming its parent: a tree.
  std::vector<char> seen(S.total, 0);
  std::vector<short> stack{t.root};
  int reached = 0;
  while (!stack.empty()) {
    short v = stack.back();
    stack.pop_back();
    if (v < 0 || v >= S.total || seen[v]) fatal("A saved species tree is damaged");
    seen[v] = 1;
    reached++;
    if (v < S.leaves) continue;
    for (short c : {t.son[v - S.leaves], t.son[v]}) {
      if (c < 0 || c >= S.total || t.parent[c] != v) fatal("A saved species tree is damaged");
      stack.push_back(c);
    }
  }
  if (reached != S.total) fatal("A saved species tree is damaged");
  forgetinnernames(&S);
  std::copy(t.lab.begin(), t.lab.end(), S.lab);
  std::copy(t.parent.begin(), t.parent.end(), S.parent);
  std::copy(t.son.begin(), t.son.end(), S.son);
  S.root = t.root;
  S.setlevel(S.root);
  S.leafofspecies.clear();
}
