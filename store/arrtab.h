#pragma once
#include <cstdint>
#include <map>
#include <ostream>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/searchstore.h"
#include "store/treerepr.h"

class ByteWriter;
class ByteReader;

class ArrTab : public SearchStore {
 public:
  std::map<double, std::vector<TreeRepr*>> tab;  // buckets by exact cost, entries in insertion order
  int cnt = 0;
  int optcnt = 0;
  double optcost = 0;
  std::priority_queue<TreeRepr*, std::vector<TreeRepr*>, treereprcomp> waiting;
  // Beside each bucket: encoding hash -> entries, so a lookup never scans a large plateau.
  std::map<double, std::unordered_multimap<uint64_t, TreeRepr*>> index;

  ArrTab() = default;
  ~ArrTab() override;
  ArrTab(const ArrTab&) = delete;
  ArrTab& operator=(const ArrTab&) = delete;

  int add(short* arr, int len, double cost, TreeRepr*& out);
  void add2waiting(TreeRepr* r);
  TreeRepr* getwaiting(int pop);
  double optimal() const override { return optcost; }
  long unique() const override { return cnt; }
  long optcount() const override { return optcnt; }
  void eachtree(const std::function<void(double, const short*, int)>& f) const override;
  void save() { savestore(*this); }
  void clear();  // every tree gone
  // The whole store and its waiting queue, and back (checkpoints): a loaded store goes on as
  // the saved one would. named: trees the caller holds (null allowed), given back on load.
  void savestate(ByteWriter& out, const std::vector<const TreeRepr*>& named) const;
  std::vector<TreeRepr*> loadstate(ByteReader& in);
};

// One line a stored tree: its cost, then the tree.
std::ostream& operator<<(std::ostream& out, const SearchStore& store);
