#include "search/sprwalk.h"

#include <string>
#include <utility>

#include "trees/fatal.h"
#include "trees/rootedtree.h"

void SprWalk::start(DlTotal c) {
  total = c;
  hashes.build(W);
}

short SprWalk::sibling(short P) const {
  short p = W.parent[P];
  return W.son[p - W.leaves] == P ? W.son[p] : W.son[p - W.leaves];
}

// Child order carries no meaning for the search structures, so the move may choose it.
void SprWalk::swapchildren(short v) { std::swap(W.son[v - W.leaves], W.son[v]); }

// The NNI at upper node a with lower node c: ((x, y), z) becomes ((z, x), y).
void SprWalk::nni(short a, short c) {
  int variant = W.son[a] == c ? 0 : 1;
  DlTotal delta;
  int info = 0;
  std::string text;
  if (!W.nni(a, variant, genes, delta, info, text)) fatal("SPR step on a leaf");
  total = total + delta;
  moves++;
  hashes.changed(W, c);
}

void SprWalk::down(short P, short child) {
  short p = W.parent[P], e = sibling(P);
  if (W.son[e - W.leaves] != child) swapchildren(e);
  nni(p, e);  // e takes P and child; p keeps e and child's sibling
}

void SprWalk::up(short P) {
  short p = W.parent[P], g = W.parent[p], e = sibling(P);
  if (W.son[p - W.leaves] != e) swapchildren(p);
  nni(g, p);  // p takes e and p's sibling; g takes p and P
}

bool SprWalk::below(short P, const std::function<bool(const SprPlace&)>& visit, int radius) {
  short e = sibling(P);
  if (e < W.leaves || radius == 0) return true;
  short children[2] = {W.son[e - W.leaves], W.son[e]};
  for (short ch : children) {
    down(P, ch);
    here.downs.push_back(ch);
    if (!visit(here) || !below(P, visit, radius - 1)) return false;
    here.downs.pop_back();
    up(P);
  }
  return true;
}

bool SprWalk::walk(short P, const std::function<bool(const SprPlace&)>& visit, int radius) {
  here = SprPlace();
  if (P == W.root) return true;
  if (!below(P, visit, radius)) return false;
  std::vector<short> path;  // the clades P came up from, to go back down
  while (W.parent[P] != W.root && here.ups != radius) {
    short prev = sibling(P);
    up(P);
    here.ups++;
    path.push_back(prev);
    if (!visit(here)) return false;
    if (here.ups == radius) break;
    // Down the other side of the clade P came up to: one edge further.
    short X = sibling(P);
    short other = W.son[X - W.leaves] == prev ? W.son[X] : W.son[X - W.leaves];
    down(P, other);
    here.downs.push_back(other);
    if (!visit(here) || !below(P, visit, radius - here.ups - 1)) return false;
    here.downs.pop_back();
    up(P);
  }
  for (size_t i = path.size(); i-- > 0;) down(P, path[i]);
  return true;
}

// A step down to child is taken back by a step up; a step up from beside clade e by a step
// down to e, recorded as -1 - e.
void SprWalk::go(short P, const SprPlace& place) {
  for (int i = 0; i < place.ups; i++) {
    if (journal) journal->emplace_back(P, -1 - sibling(P));
    up(P);
  }
  for (short d : place.downs) {
    if (journal) journal->emplace_back(P, d);
    down(P, d);
  }
}

void SprWalk::undo(std::vector<std::pair<short, short>>& steps) {
  for (size_t i = steps.size(); i-- > 0;) {
    const short P = steps[i].first, d = steps[i].second;
    if (d >= 0)
      up(P);
    else
      down(P, static_cast<short>(-1 - d));
  }
  steps.clear();
}
