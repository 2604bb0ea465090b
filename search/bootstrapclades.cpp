#include "search/bootstrapclades.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "search/nnisupport.h"
#include "io/newick.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

namespace {

Clade single(size_t species, int s) {
  Clade c((species + 63) / 64, 0);
  c[s / 64] |= uint64_t{1} << (s % 64);
  return c;
}

void join(Clade& into, const Clade& c) {
  for (size_t i = 0; i < into.size(); i++) into[i] |= c[i];
}

bool within(const Clade& small, const Clade& big) {
  for (size_t i = 0; i < small.size(); i++)
    if (small[i] & ~big[i]) return false;
  return true;
}

long members(const Clade& c) {
  long n = 0;
  for (uint64_t w : c) n += __builtin_popcountll(w);
  return n;
}

int least(const Clade& c) {
  for (size_t i = 0; i < c.size(); i++)
    if (c[i]) return static_cast<int>(i * 64) + __builtin_ctzll(c[i]);
  return -1;
}

}  // namespace

std::vector<Clade> nodeclades(const RootedTree& S, size_t species) {
  std::vector<Clade> out(S.total);
  std::function<void(short)> fill = [&](short v) {
    if (v < S.leaves) {
      out[v] = single(species, S.lab[v]);
      return;
    }
    const short x = S.son[v - S.leaves], y = S.son[v];
    fill(x);
    fill(y);
    out[v] = out[x];
    join(out[v], out[y]);
  };
  fill(S.root);
  return out;
}

void CladeCounts::add(const std::vector<int>& post) {
  std::vector<Clade> stack;
  for (int x : post) {
    if (x != POSTJOIN) {
      stack.push_back(single(species, x));
      continue;
    }
    Clade c = std::move(stack.back());
    stack.pop_back();
    join(stack.back(), c);
    // The root's clade is every species: counted here too, never asked for.
    held[stack.back()]++;
  }
  if (count == 0 && !stack.empty()) leafset = stack.back();
  count++;
}

long CladeCounts::of(const Clade& c) const {
  auto it = held.find(c);
  return it == held.end() ? 0 : it->second;
}

double CladeCounts::share(const Clade& c) const {
  return count == 0 ? 0 : 100.0 * static_cast<double>(of(c)) / static_cast<double>(count);
}

std::string CladeCounts::consensus() const {
  if (count == 0) return "";
  // Majority clades, largest first, so that each one's parent is placed before it.
  std::vector<const Clade*> kept;
  for (const auto& kv : held)
    if (2 * kv.second > count && kv.first != leafset && members(kv.first) > 1)
      kept.push_back(&kv.first);
  std::stable_sort(kept.begin(), kept.end(),
                   [](const Clade* a, const Clade* b) { return members(*a) > members(*b); });
  // Node 0 is the root (every species); node k + 1 is kept[k].
  const size_t n = kept.size() + 1;
  std::vector<std::vector<int>> kids(n);  // leaves as -1 - species id
  auto parentof = [&](const Clade& c, size_t before) {
    int p = 0;
    for (size_t k = 0; k < before; k++)
      if (within(c, *kept[k]) && (p == 0 || members(*kept[k]) < members(*kept[p - 1])))
        p = static_cast<int>(k) + 1;
    return p;
  };
  for (size_t k = 0; k < kept.size(); k++) kids[parentof(*kept[k], k)].push_back(static_cast<int>(k) + 1);
  for (size_t s = 0; s < species; s++)
    if (leafset[s / 64] >> (s % 64) & 1)
      kids[parentof(single(species, static_cast<int>(s)), kept.size())].push_back(-1 - static_cast<int>(s));
  auto key = [&](int x) { return x < 0 ? -1 - x : least(*kept[x - 1]); };
  std::function<void(int, std::string&)> print = [&](int x, std::string& out) {
    if (x < 0) {
      out += newicklabel(specnames[-1 - x]);
      return;
    }
    std::vector<int>& k = kids[x];
    std::sort(k.begin(), k.end(), [&](int a, int b) { return key(a) < key(b); });
    out += "(";
    for (size_t i = 0; i < k.size(); i++) {
      if (i) out += ",";
      print(k[i], out);
    }
    out += ")";
    if (x > 0) out += supporttext(share(*kept[x - 1]));
  };
  std::string out;
  // A single species has no parentheses to put around it.
  if (kids[0].size() == 1 && kids[0][0] < 0)
    out = newicklabel(specnames[-1 - kids[0][0]]);
  else
    print(0, out);
  return out + ";\n";
}

std::string postordertext(const std::vector<int>& post) {
  std::vector<std::string> stack;
  for (int x : post) {
    if (x != POSTJOIN) {
      stack.push_back(newicklabel(specnames[x]));
      continue;
    }
    std::string y = std::move(stack.back());
    stack.pop_back();
    stack.back() = "(" + stack.back() + "," + y + ")";
  }
  return (stack.empty() ? std::string() : stack.back()) + ";\n";
}
