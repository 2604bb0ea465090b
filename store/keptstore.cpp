#include "store/keptstore.h"

#include <cmath>

#include "store/bytes.h"
#include "trees/fatal.h"

bool KeptStore::add(const Fingerprint& fp, double cost,
                    const std::function<void(std::vector<short>&)>& encode, Entry*& entry) {
  entry = nullptr;
  if (std::isnan(cost)) fatal("Tree cost is not a number; check the weights of -D and -L");
  bool first = visited.size() == 0;
  if (!visited.insert(fp)) {
    // A kept tree is found again so that the search can mark it expanded.
    auto range = kept.equal_range(cost);
    for (auto it = range.first; it != range.second; ++it)
      if (it->second.fp == fp) entry = &it->second;
    return false;
  }
  if (first || cost < optcost) {
    optcost = cost;
    optcnt = 1;
  } else if (cost == optcost) {
    optcnt++;
  }
  if (static_cast<long>(kept.size()) >= limit) {
    auto worst = std::prev(kept.end());
    if (!(cost < worst->first)) return true;
    kept.erase(worst);
  }
  auto it = kept.emplace_hint(kept.upper_bound(cost), cost, Entry());
  it->second.fp = fp;
  encode(it->second.enc);
  entry = &it->second;
  return true;
}

KeptStore::Entry* KeptStore::nextwaiting(double& cost) {
  for (auto& kv : kept)
    if (!kv.second.expanded) {
      cost = kv.first;
      return &kv.second;
    }
  return nullptr;
}

void KeptStore::lower(const Fingerprint& fp, double cost, Entry*& entry) {
  entry = nullptr;
  for (auto it = kept.begin(); it != kept.end(); ++it) {
    if (!(it->second.fp == fp)) continue;
    if (!(cost < it->first)) {
      entry = &it->second;
      return;
    }
    Entry e = std::move(it->second);
    kept.erase(it);
    entry = &kept.emplace_hint(kept.lower_bound(cost), cost, std::move(e))->second;
    break;
  }
  if (cost < optcost) {
    optcost = cost;
    optcnt = 1;
  }
}

void KeptStore::lowerorkeep(const Fingerprint& fp, double cost, const std::vector<short>& enc,
                            Entry*& entry) {
  for (auto& kv : kept)
    if (kv.second.fp == fp) {
      lower(fp, cost, entry);
      return;
    }
  if (add(fp, cost, [&](std::vector<short>& e) { e = enc; }, entry)) return;
  entry = nullptr;
  if (static_cast<long>(kept.size()) >= limit) {
    auto worst = std::prev(kept.end());
    if (!(cost < worst->first)) return;
    kept.erase(worst);
  }
  auto it = kept.emplace_hint(kept.upper_bound(cost), cost, Entry());
  it->second.fp = fp;
  it->second.enc = enc;
  entry = &it->second;
  if (cost < optcost) {
    optcost = cost;
    optcnt = 1;
  } else if (cost == optcost) {
    optcnt++;
  }
}

void KeptStore::recost(const std::function<double(const std::vector<short>&)>& cost,
                       const std::function<bool()>& more) {
  std::multimap<double, Entry> again;
  for (auto& kv : kept) {
    if (!again.empty() && more && !more()) break;
    double c = cost(kv.second.enc);
    again.emplace_hint(again.upper_bound(c), c, std::move(kv.second));
  }
  kept.swap(again);
  if (kept.empty()) return;
  optcost = kept.begin()->first;
  optcnt = static_cast<long>(kept.count(optcost));
}

void KeptStore::save(ByteWriter& out) const {
  out.put<int64_t>(limit);
  visited.save(out);
  out.put<uint64_t>(kept.size());
  for (const auto& kv : kept) {
    out.put(kv.first);
    out.putvec(kv.second.enc);
    out.put(kv.second.fp);
    out.put<uint8_t>(kv.second.expanded);
  }
  out.put(optcost);
  out.put<int64_t>(optcnt);
}

void KeptStore::load(ByteReader& in) {
  limit = in.get<int64_t>();
  visited.load(in);
  kept.clear();
  for (uint64_t n = in.get<uint64_t>(); n > 0; n--) {
    double cost = in.get<double>();
    // Equal costs keep their order: each goes after those already in.
    auto it = kept.emplace_hint(kept.end(), cost, Entry());
    it->second.enc = in.getvec<short>();
    it->second.fp = in.get<Fingerprint>();
    it->second.expanded = in.get<uint8_t>();
  }
  optcost = in.get<double>();
  optcnt = in.get<int64_t>();
}
