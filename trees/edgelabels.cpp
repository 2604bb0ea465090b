#include "trees/edgelabels.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "trees/unrootedtree.h"

namespace {

// Gene trees are read on several threads, and freed when a chunk read ahead is dropped.
// A tree's labels packed: large collections carry a support on most inner nodes.
struct Packed {
  std::vector<short> node;    // labelled directed nodes, increasing
  std::vector<size_t> end;    // where each label ends in text
  std::string text;
};

std::mutex guard;
std::unordered_map<const UnrootedTree*, Packed> table;
// Most runs keep no labels at all: freeing a tree then takes no lock.
std::atomic<bool> any{false};

}  // namespace

void keepedgelabels(const UnrootedTree* G, const std::vector<std::string>& labels) {
  Packed p;
  for (size_t v = 0; v < labels.size(); v++) {
    if (labels[v].empty()) continue;
    p.node.push_back(static_cast<short>(v));
    p.text += labels[v];
    p.end.push_back(p.text.size());
  }
  std::lock_guard<std::mutex> lock(guard);
  table[G] = std::move(p);
  any = true;
}

std::string edgelabel(const UnrootedTree& G, short v) {
  if (!any) return "";
  std::lock_guard<std::mutex> lock(guard);
  auto it = table.find(&G);
  if (it == table.end()) return "";
  const Packed& p = it->second;
  for (short w : {v, G.parent[v]}) {
    auto at = std::lower_bound(p.node.begin(), p.node.end(), w);
    if (at == p.node.end() || *at != w) continue;
    size_t k = at - p.node.begin(), from = k ? p.end[k - 1] : 0;
    return p.text.substr(from, p.end[k] - from);
  }
  return "";
}

void forgetedgelabels(const UnrootedTree* G) {
  if (!any) return;
  std::lock_guard<std::mutex> lock(guard);
  table.erase(G);
}
