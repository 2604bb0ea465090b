#include "store/arrtab.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>

#include "io/savefile.h"
#include "parallel/processes.h"
#include "reconcile/costformat.h"
#include "trees/fatal.h"

// FNV-1a over the entries: equal encodings always meet in one hash slot.
static uint64_t reprhash(const short* arr, int len) {
  uint64_t h = 1469598103934665603ULL;
  for (int i = 0; i < len; i++) {
    h ^= static_cast<uint16_t>(arr[i]);
    h *= 1099511628211ULL;
  }
  return h;
}

// A NaN cost has no place among the ordered buckets (and would break the map's ordering);
// it only arises from weights that are not numbers, so it is refused.
int ArrTab::add(short* arr, int len, double cost, TreeRepr*& out) {
  out = nullptr;
  if (std::isnan(cost)) fatal("Tree cost is not a number; check the weights of -D and -L");
  uint64_t h = reprhash(arr, len);
  bool first = tab.empty();
  auto bucket = tab.find(cost);
  auto& slots = index[cost];
  if (bucket == tab.end()) {
    bucket = tab.emplace(cost, std::vector<TreeRepr*>()).first;
  } else {
    auto range = slots.equal_range(h);
    for (auto it = range.first; it != range.second; ++it)
      if (it->second->eq(arr, len, cost)) {
        out = it->second;
        return 0;
      }
  }
  short* copy = new short[len];
  std::copy(arr, arr + len, copy);
  out = new TreeRepr(copy, len, cost);
  bucket->second.push_back(out);
  slots.emplace(h, out);
  cnt++;
  // The first tree is the best so far whatever its cost (cost + 1 would not exceed a huge one).
  if (first || optcost > cost) {
    optcost = cost;
    optcnt = 1;
    return 3;
  }
  if (cost == optcost) {
    optcnt++;
    return 2;
  }
  return 1;
}

void ArrTab::add2waiting(TreeRepr* r) { waiting.push(r); }

TreeRepr* ArrTab::getwaiting(int pop) {
  if (waiting.empty()) return nullptr;
  TreeRepr* r = waiting.top();
  if (pop) waiting.pop();
  return r;
}

std::ostream& operator<<(std::ostream& out, ArrTab& t) {
  for (auto& bucket : t.tab)
    for (TreeRepr* r : bucket.second) out << costtext(r->cost) << " " << *r << std::endl;
  return out;
}

void ArrTab::save() {
  if (!mainprocess()) return;  // one process of a run writes the files
  std::ostringstream text;
  text << *this;
  std::string content = text.str();
  std::string name;
  if (!outprefix.empty()) {
    name = outprefix + ".kv.txt";
    writenamed(name, content);
  } else {
    time_t now = time(nullptr);
    struct tm tmnow;
    memset(&tmnow, 0, sizeof tmnow);
    if (struct tm* lt = localtime(&now)) tmnow = *lt;
    char stamp[80];
    strftime(stamp, sizeof stamp, "%Y%m%d.%H%M%S", &tmnow);
    // Another run's file of the same second is kept: this one takes the next free counter.
    name = std::string(stamp) + ".kv.txt";
    for (int k = 2; !writefile(name, content, !writtenbyrun(name)); k++) {
      if (k == 100000) fatal("Cannot write " + name + ": no free name left for this second");
      name = std::string(stamp) + "." + std::to_string(k) + ".kv.txt";
    }
  }
  savedfiles.push_back(name);
  std::cout << name << " saved" << std::endl;
}

ArrTab::~ArrTab() {
  for (auto& bucket : tab)
    for (TreeRepr* r : bucket.second) {
      delete[] r->arr;
      delete r;
    }
}
