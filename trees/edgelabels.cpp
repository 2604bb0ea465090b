#include "trees/edgelabels.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "trees/unrootedtree.h"

namespace {

// Gene trees are read on several threads, and freed when a chunk read ahead is dropped.
std::mutex guard;
std::unordered_map<const UnrootedTree*, std::vector<std::string>> table;
// Most runs keep no labels at all: freeing a tree then takes no lock.
std::atomic<bool> any{false};

}  // namespace

void keepedgelabels(const UnrootedTree* G, std::vector<std::string> labels) {
  std::lock_guard<std::mutex> lock(guard);
  table[G] = std::move(labels);
  any = true;
}

std::string edgelabel(const UnrootedTree& G, short v) {
  if (!any) return "";
  std::lock_guard<std::mutex> lock(guard);
  auto it = table.find(&G);
  if (it == table.end()) return "";
  const std::vector<std::string>& l = it->second;
  for (short w : {v, G.parent[v]})
    if (w >= 0 && static_cast<size_t>(w) < l.size() && !l[w].empty()) return l[w];
  return "";
}

void forgetedgelabels(const UnrootedTree* G) {
  if (!any) return;
  std::lock_guard<std::mutex> lock(guard);
  table.erase(G);
}
