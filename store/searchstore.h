#pragma once
#include <functional>

// The store of a search as its driver and the outputs see it, whichever way it keeps the
// trees: every tree met (ArrTab, the NNI search) or a fingerprint of each and the best few
// whole (KeptStore, the SPR search).
class SearchStore {
 public:
  virtual ~SearchStore() = default;
  virtual double optimal() const = 0;
  virtual long unique() const = 0;    // trees met
  virtual long optcount() const = 0;  // trees of the optimal cost
  // Each stored tree as cost and encoding, cheapest first, equal costs in the order stored.
  virtual void eachtree(const std::function<void(double, const short*, int)>& f) const = 0;
};

// Writes the store's file, PREFIX.kv.txt under --out or else named by the time stamp, one
// line a tree (cost, then the tree), and says so on standard output. Main process only.
void savestore(const SearchStore& store);
