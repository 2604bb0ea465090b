#pragma once
#include "trees/rootedtree.h"

// Post-order over the subtree of s by parent links: no recursion, so a 15000-leaf caterpillar
// needs no stack. visit(v, r) gets each node after both of its children, r = edges below s.
template <class Visit>
void speciespostorder(RootedTree& S, short s, Visit visit) {
  const int n = S.leaves;
  short v = s;
  int r = 0;
  while (v >= n) {
    v = S.son[v - n];
    r++;
  }
  for (;;) {
    visit(v, r);
    if (v == s) return;
    short p = S.parent[v];
    if (v == S.son[p - n]) {  // left child done: the right subtree comes next
      v = S.son[p];
      while (v >= n) {
        v = S.son[v - n];
        r++;
      }
    } else {
      v = p;
      r--;
    }
  }
}
