#pragma once
#include <cstdint>
#include <map>
#include <ostream>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/treerepr.h"

class ByteWriter;
class ByteReader;

class ArrTab {
 public:
  std::map<double, std::vector<TreeRepr*>> tab;  // buckets by exact cost, entries in insertion order
  int cnt = 0;
  int optcnt = 0;
  double optcost = 0;
  std::priority_queue<TreeRepr*, std::vector<TreeRepr*>, treereprcomp> waiting;
  // Beside each bucket: encoding hash -> entries, so a lookup never scans a large plateau.
  std::map<double, std::unordered_multimap<uint64_t, TreeRepr*>> index;
  std::vector<std::string> savedfiles;  // names this run wrote, which it may replace

  ArrTab() = default;
  ~ArrTab();
  ArrTab(const ArrTab&) = delete;
  ArrTab& operator=(const ArrTab&) = delete;

  int add(short* arr, int len, double cost, TreeRepr*& out);
  void add2waiting(TreeRepr* r);
  TreeRepr* getwaiting(int pop);
  double optimal() { return optcost; }
  void save();
  void clear();  // every tree gone; the names saved stay
  // The whole store and its waiting queue, and back (checkpoints): a loaded store goes on as
  // the saved one would. named: trees the caller holds (null allowed), given back on load.
  void savestate(ByteWriter& out, const std::vector<const TreeRepr*>& named) const;
  std::vector<TreeRepr*> loadstate(ByteReader& in);
};

std::ostream& operator<<(std::ostream& out, ArrTab& t);
