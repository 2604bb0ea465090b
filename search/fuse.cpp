#include "search/fuse.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <unordered_map>

#include "store/fingerprint.h"
#include "store/treerepr.h"

namespace {

// A clade of an encoding: the entries from its opening marker to its closing one, inclusive.
struct Span {
  int begin, end;
  int leaves;
};

// The last entry of a clade carries a sign that tells whether the clade is a first child, so
// it is compared and copied by magnitude.
short magnitude(short s) { return static_cast<short>(std::abs(s)); }
bool isleaf(short s) { return magnitude(s) < REPROPEN; }

// Every internal clade of the encoding, keyed by a hash of its species set.
std::unordered_multimap<uint64_t, Span> clades(const std::vector<short>& e) {
  std::unordered_multimap<uint64_t, Span> out;
  std::vector<int> opens;
  std::vector<uint64_t> sums;
  std::vector<int> counts;
  for (int i = 0; i < static_cast<int>(e.size()); i++) {
    const short s = e[i];
    if (s == REPROPEN) {
      opens.push_back(i);
      sums.push_back(0);
      counts.push_back(0);
    } else if (isleaf(s)) {
      if (sums.empty()) continue;  // a tree of one species has no clade
      sums.back() += splitmix(static_cast<uint64_t>(magnitude(s)));
      counts.back()++;
    } else {
      const uint64_t sum = sums.back();
      const int count = counts.back();
      out.emplace(sum, Span{opens.back(), i, count});
      opens.pop_back();
      sums.pop_back();
      counts.pop_back();
      if (!sums.empty()) {
        sums.back() += sum;
        counts.back() += count;
      }
    }
  }
  return out;
}

std::vector<short> species(const std::vector<short>& e, const Span& s) {
  std::vector<short> out;
  for (int i = s.begin; i <= s.end; i++)
    if (isleaf(e[i])) out.push_back(magnitude(e[i]));
  std::sort(out.begin(), out.end());
  return out;
}

bool sameshape(const std::vector<short>& a, const Span& x, const std::vector<short>& b,
               const Span& y) {
  if (x.end - x.begin != y.end - y.begin) return false;
  if (!std::equal(a.begin() + x.begin, a.begin() + x.end, b.begin() + y.begin)) return false;
  return magnitude(a[x.end]) == magnitude(b[y.end]);
}

}  // namespace

std::vector<std::vector<short>> fusecandidates(const std::vector<short>& a,
                                               const std::vector<short>& b) {
  auto ca = clades(a), cb = clades(b);
  std::vector<std::pair<Span, Span>> found;
  for (const auto& x : ca) {
    auto range = cb.equal_range(x.first);
    for (auto it = range.first; it != range.second; ++it) {
      const Span &sa = x.second, &sb = it->second;
      // A hash may collide: the species sets are compared before a clade is exchanged.
      if (sa.leaves != sb.leaves || sameshape(a, sa, b, sb)) continue;
      if (species(a, sa) != species(b, sb)) continue;
      found.emplace_back(sa, sb);
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
    return x.first.leaves != y.first.leaves ? x.first.leaves < y.first.leaves
                                            : x.first.begin < y.first.begin;
  });
  // A larger clade resolved differently only inside a smaller one gives the same tree.
  std::vector<std::vector<short>> out;
  std::set<std::vector<short>> seen;
  for (const auto& f : found) {
    std::vector<short> c = a;
    const Span &sa = f.first, &sb = f.second;
    std::copy(b.begin() + sb.begin, b.begin() + sb.end, c.begin() + sa.begin);
    const short last = magnitude(b[sb.end]);
    c[sa.end] = a[sa.end] < 0 ? static_cast<short>(-last) : last;
    if (seen.insert(c).second) out.push_back(std::move(c));
  }
  return out;
}
