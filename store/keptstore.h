#pragma once
#include <functional>
#include <map>
#include <vector>

#include "store/fingerprint.h"
#include "store/searchstore.h"

class ByteWriter;
class ByteReader;

// The store of a search that visits far more trees than it can keep: a fingerprint of every
// tree met, for the "seen" test and the counts, and whole encodings of the best `limit` trees
// only, which are also the trees the search may go on from.
class KeptStore : public SearchStore {
 public:
  struct Entry {
    std::vector<short> enc;
    Fingerprint fp;
    bool expanded = false;
  };

  explicit KeptStore(long limit) : limit(limit) {}

  // Offers a tree; encode() is called only when the tree is new and good enough to keep.
  // Returns true when the tree was new. entry is the kept entry of the tree, or null.
  bool add(const Fingerprint& fp, double cost, const std::function<void(std::vector<short>&)>& encode,
           Entry*& entry);
  // Gives the kept tree fp (if kept) the lower cost a search found for it; entry as in add.
  void lower(const Fingerprint& fp, double cost, Entry*& entry);
  // As lower, and a tree met before but not kept (its cost then a bound) is kept now when its
  // cost earns it a place.
  void lowerorkeep(const Fingerprint& fp, double cost, const std::vector<short>& enc,
                   Entry*& entry);
  // Every kept tree costed again by cost(encoding), and the optimum taken over the kept trees:
  // for searches whose costs are bounds until the end.
  // While more() holds (asked before each tree but the first), cheapest first; the trees not
  // costed again are dropped, since their costs are only bounds.
  void recost(const std::function<double(const std::vector<short>&)>& cost,
              const std::function<bool()>& more = nullptr);
  // The cheapest kept tree not yet searched from (first kept among equal costs), or null.
  Entry* nextwaiting(double& cost);
  bool seen(const Fingerprint& fp) const { return visited.contains(fp); }

  // Kept trees, cheapest first, equal costs in the order they were kept.
  const std::multimap<double, Entry>& trees() const { return kept; }
  long unique() const override { return static_cast<long>(visited.size()); }
  long optcount() const override { return optcnt; }
  double optimal() const override { return optcost; }
  void eachtree(const std::function<void(double, const short*, int)>& f) const override {
    for (const auto& kv : kept) f(kv.first, kv.second.enc.data(), static_cast<int>(kv.second.enc.size()));
  }
  // The whole store, and back (checkpoints): a loaded store goes on as the saved one would.
  void save(ByteWriter& out) const;
  void load(ByteReader& in);

 private:
  long limit;
  FingerprintSet visited;
  std::multimap<double, Entry> kept;
  double optcost = 0;
  long optcnt = 0;
};
