#include "trees/multigene.h"

#include <mutex>
#include <numeric>
#include <unordered_map>

#include "trees/unrootedtree.h"

namespace {

std::mutex formslock;
std::unordered_map<const UnrootedTree*, std::unique_ptr<MultiGeneTree>> forms;

int findroot(std::vector<int>& up, int x) {
  while (up[x] != x) x = up[x] = up[up[x]];
  return x;
}

}  // namespace

MultiGeneTree::MultiGeneTree(const UnrootedTree& G, const std::vector<short>& contracted) {
  leaves = G.leaves;
  // Vertices of G: a leaf is its own, an internal triple is one (leaves + its rank).
  const int vertices = G.leaves + G.internal / 3;
  auto vertex = [&](int x) { return x < G.leaves ? x : G.leaves + (x - G.leaves) / 3; };
  std::vector<int> up(vertices);
  std::iota(up.begin(), up.end(), 0);
  std::vector<char> cut(G.total, 0);
  for (short x : contracted) {
    if (x < G.leaves || G.parent[x] < G.leaves) continue;  // leaf edges stay
    cut[x] = cut[G.parent[x]] = 1;
    int a = findroot(up, vertex(x)), b = findroot(up, vertex(G.parent[x]));
    if (a != b) up[std::max(a, b)] = std::min(a, b);
  }
  // Leaves keep their ids; the merged internal vertices are numbered after them.
  std::vector<int> node(vertices, -1);
  nodes = G.leaves;
  for (int v = 0; v < vertices; v++) {
    int r = findroot(up, v);
    if (node[r] < 0) node[r] = v < G.leaves ? v : nodes++;
    node[v] = node[r];
  }
  std::vector<std::pair<int, int>> edges;  // directed nodes, one per edge kept
  std::vector<int> deg(nodes, 0);
  for (int x = 0; x < G.total; x++) {
    int y = G.parent[x];
    if (x > y || cut[x]) continue;
    edges.emplace_back(x, y);
    deg[node[vertex(x)]]++;
    deg[node[vertex(y)]]++;
  }
  first.assign(nodes + 1, 0);
  for (int v = 0; v < nodes; v++) first[v + 1] = first[v] + deg[v];
  to.assign(first[nodes], -1);
  twin.assign(first[nodes], -1);
  length.assign(first[nodes], NOLENGTH);
  std::vector<int> fill(first.begin(), first.end() - 1);
  for (auto [x, y] : edges) {
    int a = node[vertex(x)], b = node[vertex(y)];
    int ha = fill[a]++, hb = fill[b]++;
    to[ha] = b;
    to[hb] = a;
    twin[ha] = hb;
    twin[hb] = ha;
    length[ha] = length[hb] = G.brlen[x];
  }
  // Rooted at the first internal node: half edges downwards in post-order, then upwards with
  // parents before children.
  std::vector<int> parentedge(nodes, -1), pre;
  std::vector<int> stack{G.leaves};
  std::vector<char> seen(nodes, 0);
  seen[G.leaves] = 1;
  while (!stack.empty()) {
    int v = stack.back();
    stack.pop_back();
    pre.push_back(v);
    for (int h = first[v]; h < first[v + 1]; h++) {
      if (seen[to[h]]) continue;
      seen[to[h]] = 1;
      parentedge[to[h]] = h;
      stack.push_back(to[h]);
    }
  }
  for (size_t k = pre.size(); k-- > 0;)
    if (parentedge[pre[k]] >= 0) order.push_back(parentedge[pre[k]]);
  for (int v : pre)
    if (parentedge[v] >= 0) order.push_back(twin[parentedge[v]]);
}

void addmultiform(const UnrootedTree* G, std::unique_ptr<MultiGeneTree> form) {
  std::lock_guard<std::mutex> lock(formslock);
  forms[G] = std::move(form);
}

const MultiGeneTree* multiformof(const UnrootedTree* G) {
  if (forms.empty()) return nullptr;
  auto it = forms.find(G);
  return it == forms.end() ? nullptr : it->second.get();
}

void dropmultiform(const UnrootedTree* G) {
  std::lock_guard<std::mutex> lock(formslock);
  forms.erase(G);
}

bool anymultiforms() { return !forms.empty(); }
