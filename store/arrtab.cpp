#include "store/arrtab.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>

#include "io/savefile.h"
#include "store/bytes.h"
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

std::ostream& operator<<(std::ostream& out, const SearchStore& store) {
  store.eachtree([&](double cost, const short* enc, int len) {
    out << costtext(cost) << " " << TreeRepr(const_cast<short*>(enc), len, cost) << std::endl;
  });
  return out;
}

void ArrTab::eachtree(const std::function<void(double, const short*, int)>& f) const {
  for (const auto& bucket : tab)
    for (const TreeRepr* r : bucket.second) f(r->cost, r->arr, r->len);
}

void savestore(const SearchStore& store) {
  if (!mainprocess()) return;  // one process of a run writes the files
  std::ostringstream text;
  text << store;
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
  std::cout << name << " saved" << std::endl;
}

ArrTab::~ArrTab() { clear(); }

void ArrTab::clear() {
  for (auto& bucket : tab)
    for (TreeRepr* r : bucket.second) {
      delete[] r->arr;
      delete r;
    }
  tab.clear();
  index.clear();
  waiting = decltype(waiting)();
  cnt = optcnt = 0;
  optcost = 0;
}

namespace {
// The queue's array, in heap order: ties of cost leave it in the order pushes made, which
// loading must keep.
struct WaitingQueue : std::priority_queue<TreeRepr*, std::vector<TreeRepr*>, treereprcomp> {
  static std::vector<TreeRepr*>& of(std::priority_queue<TreeRepr*, std::vector<TreeRepr*>, treereprcomp>& q) {
    return q.*(&WaitingQueue::c);
  }
};
}  // namespace

void ArrTab::savestate(ByteWriter& out, const std::vector<const TreeRepr*>& named) const {
  std::unordered_map<const TreeRepr*, int64_t> place;
  out.put<uint64_t>(tab.size());
  for (const auto& bucket : tab) {
    out.put(bucket.first);
    out.put<uint64_t>(bucket.second.size());
    for (const TreeRepr* r : bucket.second) {
      place.emplace(r, static_cast<int64_t>(place.size()));
      out.put<int32_t>(r->len);
      out.putvec(std::vector<short>(r->arr, r->arr + r->len));
      out.put<uint8_t>(r->expanded);
    }
  }
  out.put<int32_t>(cnt);
  out.put<int32_t>(optcnt);
  out.put(optcost);
  auto placeof = [&](const TreeRepr* r) { return r ? place.at(r) : int64_t(-1); };
  auto& queue = WaitingQueue::of(const_cast<ArrTab*>(this)->waiting);
  out.put<uint64_t>(queue.size());
  for (const TreeRepr* r : queue) out.put(placeof(r));
  out.put<uint64_t>(named.size());
  for (const TreeRepr* r : named) out.put(placeof(r));
}

std::vector<TreeRepr*> ArrTab::loadstate(ByteReader& in) {
  clear();
  std::vector<TreeRepr*> all;
  for (uint64_t b = in.get<uint64_t>(); b > 0; b--) {
    double cost = in.get<double>();
    for (uint64_t n = in.get<uint64_t>(); n > 0; n--) {
      int32_t len = in.get<int32_t>();
      std::vector<short> arr = in.getvec<short>();
      if (len < 0 || arr.size() != static_cast<size_t>(len)) in.damaged();
      TreeRepr* r = nullptr;
      add(arr.data(), len, cost, r);
      if (!r) in.damaged();
      r->expanded = in.get<uint8_t>();
      all.push_back(r);
    }
  }
  cnt = in.get<int32_t>();
  optcnt = in.get<int32_t>();
  optcost = in.get<double>();
  auto at = [&](int64_t k) -> TreeRepr* {
    if (k < -1 || k >= static_cast<int64_t>(all.size())) in.damaged();
    return k < 0 ? nullptr : all[k];
  };
  auto& queue = WaitingQueue::of(waiting);
  queue.clear();
  for (uint64_t n = in.get<uint64_t>(); n > 0; n--) {
    queue.push_back(at(in.get<int64_t>()));
    if (!queue.back()) in.damaged();
  }
  std::vector<TreeRepr*> named;
  for (uint64_t n = in.get<uint64_t>(); n > 0; n--) named.push_back(at(in.get<int64_t>()));
  return named;
}
