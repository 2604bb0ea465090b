#include "trees/treeweights.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

std::mutex lock;
std::unordered_map<const UnrootedTree*, double> weights;
// Set once any weight is: the common run without weights never takes the lock.
std::atomic<bool> any{false};

}  // namespace

void setgeneweight(const UnrootedTree* G, double w) {
  std::lock_guard<std::mutex> hold(lock);
  if (w == 1.0) {
    weights.erase(G);
    return;
  }
  weights[G] = w;
  any = true;
}

double geneweight(const UnrootedTree* G) {
  if (!any) return 1.0;
  std::lock_guard<std::mutex> hold(lock);
  auto it = weights.find(G);
  return it == weights.end() ? 1.0 : it->second;
}

bool anygeneweights() {
  if (!any) return false;
  std::lock_guard<std::mutex> hold(lock);
  return !weights.empty();
}

void forgetgeneweight(const UnrootedTree* G) {
  if (!any) return;
  std::lock_guard<std::mutex> hold(lock);
  weights.erase(G);
}
