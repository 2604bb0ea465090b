#include "parallel/genesinorder.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>

#include "parallel/geneshare.h"
#include "trees/rootedtree.h"
#include "trees/unrootedtree.h"

namespace {

// Room for the text of one block of gene trees.
struct Text {
  std::unique_ptr<char[]> mem;
  size_t room = 0, used = 0;
};

// Texts written out, for the next blocks: after the first few blocks no thread allocates or
// touches fresh memory for its text.
class SpareTexts {
 public:
  Text get() {
    std::lock_guard<std::mutex> lock(m);
    if (spare.empty()) return Text();
    Text t = std::move(spare.back());
    spare.pop_back();
    return t;
  }
  void put(Text t) {
    t.used = 0;
    std::lock_guard<std::mutex> lock(m);
    spare.push_back(std::move(t));
  }

 private:
  std::mutex m;
  std::vector<Text> spare;
};

// The stream of one thread's current block: a plain growing buffer, so that a line costs a
// copy and no lock.
class BlockText : public std::streambuf {
 public:
  explicit BlockText(SpareTexts& spares) : spares(spares) { start(spares.get()); }

  // The block's text, with a fresh buffer for the next block.
  Text take() {
    cur.used = pptr() - pbase();
    Text done = std::move(cur);
    start(spares.get());
    return done;
  }

 protected:
  int_type overflow(int_type c) override {
    size_t used = pptr() - pbase();
    size_t more = std::max<size_t>(1 << 16, 2 * cur.room);
    std::unique_ptr<char[]> grown(new char[more]);
    if (used) memcpy(grown.get(), cur.mem.get(), used);
    cur.mem.swap(grown);
    cur.room = more;
    cur.used = used;
    start(std::move(cur));
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

 private:
  void start(Text t) {
    cur = std::move(t);
    setp(cur.mem.get(), cur.mem.get() + cur.room);
    for (size_t left = cur.used; left > 0;) {
      int step = static_cast<int>(std::min<size_t>(left, INT_MAX));
      pbump(step);
      left -= step;
    }
  }

  SpareTexts& spares;
  Text cur;
};

struct Block {
  Text text;
  DlTotal sum;
  std::atomic<bool> done{false};
};

}  // namespace

DlTotal eachgeneinorder(RootedTree& S, std::vector<UnrootedTree*>& genes, std::ostream& to,
                       const std::function<DlCost(UnrootedTree& G, std::ostream& out)>& body) {
  const GeneShare& share = geneshare(genes);
  DlTotal total;
  if (share.parts() <= 1 || !mapsall(S, genes, share.lo, share.hi)) {
    for (int g = share.lo; g < share.hi; g++)
      total = total + DlTotal(body(*genes[g], to), share.unitsof(g));
    return total;
  }
  readyforthreads(S);
  // Many more blocks than threads, each taken by the next free thread: the main thread
  // writes every block as soon as it and those before it are done, so the text never piles
  // up whole in memory, and a thread slowed by other work on the machine holds back little.
  std::vector<long> weight(genes.size());
  for (int g = share.lo; g < share.hi; g++) weight[g] = geneweight(*genes[g]);
  const int parts = share.parts();
  const int nblocks = std::min(share.hi - share.lo, 16 * parts);
  const std::vector<int> cuts = balancedcuts(weight, share.lo, share.hi, nblocks);
  std::vector<Block> blocks(nblocks);
  std::atomic<int> next{0};
  SpareTexts spares;
  int written = 0;
  auto writedone = [&] {
    while (written < nblocks && blocks[written].done.load(std::memory_order_acquire)) {
      Text& text = blocks[written].text;
      to.write(text.mem.get(), static_cast<std::streamsize>(text.used));
      spares.put(std::move(text));
      written++;
    }
  };
  runparts(parts, [&](int t) {
    BlockText buf(spares);
    std::ostream out(&buf);
    for (;;) {
      if (t == 0) writedone();
      int b = next.fetch_add(1);
      if (b >= nblocks) break;
      DlTotal sum;
      for (int g = cuts[b]; g < cuts[b + 1]; g++)
        sum = sum + DlTotal(body(*genes[g], out), share.unitsof(g));
      blocks[b].text = buf.take();
      blocks[b].sum = sum;
      blocks[b].done.store(true, std::memory_order_release);
    }
  });
  writedone();
  for (const Block& b : blocks) total = total + b.sum;
  to.flush();
  return total;
}
