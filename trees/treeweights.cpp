#include "trees/treeweights.h"

#include <atomic>
#include <cmath>
#include <mutex>
#include <unordered_map>

namespace {

std::mutex lock;
std::unordered_map<const UnrootedTree*, double> weights;
// Set once any weight is: the common run without weights never takes the lock.
std::atomic<bool> any{false};
// How many trees have a weight that is not whole: the unit is 2^20 while any has.
long fractional = 0;
std::atomic<long long> unit{1};
std::atomic<unsigned long> version{0};

constexpr long long FRACTIONUNIT = 1LL << 20;

}  // namespace

static bool whole(double w) { return w == std::floor(w); }

// Under the lock.
static void drop(const UnrootedTree* G) {
  auto it = weights.find(G);
  if (it == weights.end()) return;
  if (!whole(it->second)) fractional--;
  weights.erase(it);
  version++;
  unit = fractional > 0 ? FRACTIONUNIT : 1;
}

void setgeneweight(const UnrootedTree* G, double w) {
  std::lock_guard<std::mutex> hold(lock);
  drop(G);
  version++;
  if (w == 1.0) return;
  weights[G] = w;
  if (!whole(w)) fractional++;
  unit = fractional > 0 ? FRACTIONUNIT : 1;
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
  drop(G);
}

long long weightunit() { return unit; }

long long geneunits(const UnrootedTree* G) {
  if (!any) return unit;
  return std::llround(geneweight(G) * static_cast<double>(unit.load()));
}

unsigned long weightsversion() { return version; }
