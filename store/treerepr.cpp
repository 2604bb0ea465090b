#include "store/treerepr.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "io/newick.h"
#include "trees/fatal.h"
#include "trees/innernames.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

// Walks keep their own stack: a 15000-leaf caterpillar is too deep for recursion.
// Both buffers only grow, so encoding a tree allocates nothing after the first call.
static std::vector<short> mmscratch;
static std::vector<int> walkstack;

static int* stackfor(int total) {
  if (walkstack.size() < 3 * static_cast<size_t>(total) + 1) walkstack.resize(3 * total + 1);
  return walkstack.data();
}

int RootedTree::reprlen() { return 3 * leaves - 2; }

short* RootedTree::repr(short* buf) {
  if (!buf) buf = new short[reprlen()];
  if (mmscratch.size() < static_cast<size_t>(total)) mmscratch.resize(total);
  short* mm = mmscratch.data();
  _setmm(root, mm);
  int pos = 0;
  _repr(buf, root, pos, mm);
  return buf;
}

short RootedTree::_setmm(short v, short* mm) {
  // Pre-order into the stack's upper half, then fill minima in reverse: children first.
  int* st = stackfor(total);
  int* order = st + total;
  int top = 0, n = 0;
  st[top++] = v;
  while (top) {
    short u = static_cast<short>(st[--top]);
    order[n++] = u;
    if (u >= leaves) {
      st[top++] = son[u - leaves];
      st[top++] = son[u];
    }
  }
  while (n) {
    short u = static_cast<short>(order[--n]);
    if (u < leaves)
      mm[u] = lab[u];
    else
      mm[u] = std::min(mm[son[u - leaves]], mm[son[u]]);
  }
  return mm[v];
}

// Pending work of the encoding walk: a node id, or one of these two actions.
constexpr int REPRNEGATE = -1;
constexpr int REPRCLOSEUP = -2;

void RootedTree::_repr(short* dst, short v, int& pos, short* mm) {
  int* st = stackfor(total);
  int top = 0;
  st[top++] = v;
  while (top) {
    int w = st[--top];
    if (w == REPRNEGATE) {
      dst[pos - 1] = static_cast<short>(-dst[pos - 1]);
    } else if (w == REPRCLOSEUP) {
      dst[pos++] = REPRCLOSE;
    } else if (w < leaves) {
      short s = lab[w];
      if (s < 0 || s >= REPROPEN)
        fatal("Cannot encode a species tree with species id " + std::to_string(s) +
              ": too many species, ids must be below " + std::to_string(REPROPEN));
      dst[pos++] = s;
    } else {
      short l = son[w - leaves], r = son[w];
      // The child holding the subtree's smallest species goes first; on a tie, the left one.
      short first = mm[l] == mm[w] ? l : r;
      short second = first == l ? r : l;
      dst[pos++] = REPROPEN;
      st[top++] = REPRCLOSEUP;
      st[top++] = second;
      st[top++] = REPRNEGATE;
      st[top++] = first;
    }
  }
}

void RootedTree::replace(TreeRepr* r) {
  forgetinnernames(this);  // another shape: the names no longer fit
  // Read off the encoding as the text reader would number the printed tree: leaves in
  // order, each inner node when it closes, its first child on the left.
  std::vector<short> stack;
  short nextleaf = 0, nextinternal = static_cast<short>(leaves);
  for (int i = 0; i < r->len; i++) {
    int x = r->arr[i];
    if (x == REPROPEN) continue;
    if (std::abs(x) == REPRCLOSE) {
      if (stack.size() < 2 || nextinternal >= total) break;
      short right = stack.back();
      stack.pop_back();
      short left = stack.back();
      stack.pop_back();
      short v = nextinternal++;
      son[v - leaves] = left;
      son[v] = right;
      parent[left] = parent[right] = v;
      level[v] = static_cast<short>(1 + std::max(level[left], level[right]));
      stack.push_back(v);
      continue;
    }
    if (nextleaf >= leaves) {
      nextleaf++;
      break;
    }
    lab[nextleaf] = static_cast<short>(std::abs(x));
    level[nextleaf] = 0;
    stack.push_back(nextleaf++);
  }
  if (nextleaf != leaves || nextinternal != total || stack.size() != 1)
    fatal("Cannot rebuild a species tree of " + std::to_string(leaves) +
          " leaves from the tree " + to_string(*r));
  root = stack.back();
  parent[root] = -1;
  son[leaves - 1] = -1;
  leafofspecies.clear();  // the labels have moved
}

TreeRepr::TreeRepr(short* arr, int len, double cost)
    : len(len), arr(arr), cost(cost), expanded(false) {}

int TreeRepr::eq(short* a, int l, double c) const {
  if (!(cost == c)) return 0;
  if (len != l) return 0;
  return memcmp(arr, a, sizeof(short) * len) == 0;
}

std::vector<int> reprpostorder(const TreeRepr& r) {
  std::vector<int> post;
  for (int i = 0; i < r.len; i++) {
    int x = r.arr[i];
    if (std::abs(x) == REPRCLOSE)
      post.push_back(POSTJOIN);
    else if (x != REPROPEN)
      post.push_back(std::abs(x));
  }
  return post;
}

std::ostream& operator<<(std::ostream& out, const TreeRepr& r) {
  for (int i = 0; i < r.len; i++) {
    int x = r.arr[i];
    if (x == REPROPEN)
      out << "(";
    else if (std::abs(x) == REPRCLOSE)
      out << ")";
    else if (std::abs(x) < static_cast<int>(specnames.size()))
      out << printname(std::abs(x));
    else
      fatal("Tree encoding holds the unknown species id " + std::to_string(std::abs(x)));
    if (x <= 0) out << ",";
  }
  return out;
}
