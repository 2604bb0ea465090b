#include "tests/output/slowoutput.h"

#include <algorithm>
#include <map>

#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

std::vector<TextNode> readnewick(const std::string& text) {
  std::vector<TextNode> t;
  std::vector<int> open;
  size_t i = 0;
  auto label = [&](int x) {
    size_t end = std::min(text.find_first_of(",()[;", i), text.size());
    size_t colon = std::min(text.find(':', i), end);
    t[x].name = text.substr(i, colon - i);
    if (colon < end) t[x].length = text.substr(colon + 1, end - colon - 1);
    i = end;
    if (i == text.size() || text[i] != '[') return;
    size_t close = text.find(']', i);
    std::string body = text.substr(i + 7, close - i - 7);  // after "[&&NHX:"
    for (size_t p = 0; p <= body.size();) {
      size_t colon = body.find(':', p);
      if (colon == std::string::npos) colon = body.size();
      std::string kv = body.substr(p, colon - p);
      t[x].keys[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
      p = colon + 1;
    }
    i = close + 1;
  };
  while (i < text.size() && text[i] != ';' && text[i] != '\n') {
    char c = text[i];
    if (c == ',') {
      i++;
    } else if (c == ')') {
      i++;
      label(open.back());
      open.pop_back();
    } else {
      t.push_back(TextNode());
      int x = static_cast<int>(t.size()) - 1;
      if (!open.empty()) {
        t[x].parent = open.back();
        t[open.back()].kids.push_back(x);
      }
      if (c == '(') {
        i++;
        open.push_back(x);
      } else {
        label(x);
      }
    }
  }
  return t;
}

std::string plaintext(const std::vector<TextNode>& t, int x) {
  if (t[x].kids.empty()) return t[x].name;
  std::string s = "(";
  for (size_t k = 0; k < t[x].kids.size(); k++) s += (k ? "," : "") + plaintext(t, t[x].kids[k]);
  return s + ")";
}

SlowRec slowreconcile(const std::string& rootedtext, RootedTree& S) {
  SlowRec r;
  r.tree = readnewick(rootedtext);
  std::map<std::string, short> leafof;
  for (short v = 0; v < S.leaves; v++) leafof.emplace(specnames[S.lab[v]], v);
  size_t n = r.tree.size();
  r.map.assign(n, -1);
  r.dup.assign(n, false);
  // Children follow their parent in pre-order, so a backward pass maps them first.
  for (size_t k = n; k-- > 0;) {
    const TextNode& x = r.tree[k];
    if (x.kids.empty()) {
      r.map[k] = leafof.at(x.name);
      continue;
    }
    short a = r.map[x.kids[0]], b = r.map[x.kids[1]];
    r.map[k] = slowlca(S, a, b);
    r.dup[k] = r.map[k] == a || r.map[k] == b;
  }
  return r;
}

bool slowisancestor(RootedTree& S, short a, short x) {
  for (;; x = S.parent[x]) {
    if (x == a) return true;
    if (x == S.root) return false;
  }
}

void slowaddevents(const SlowRec& r, RootedTree& S, SlowEvents& ev) {
  for (auto* v : {&ev.dup, &ev.loss, &ev.lineages, &ev.genetrees}) v->resize(S.total);
  std::vector<bool> reached(S.total);
  ev.lineages[r.map[0]]++;
  for (size_t k = 0; k < r.tree.size(); k++) {
    short m = r.map[k];
    reached[m] = true;
    if (r.dup[k]) ev.dup[m]++;
    for (int c : r.tree[k].kids) {
      short mc = r.map[c];
      for (short s = 0; s < S.total; s++) {
        if (s == S.root) continue;
        short p = S.parent[s];
        // The child's lineage runs along the branch above s.
        if (s != m && slowisancestor(S, m, s) && slowisancestor(S, s, mc)) {
          ev.lineages[s]++;
          reached[s] = true;
        }
        // Or it passes p, a speciation below m (at m below a duplication), away from s.
        bool onpath = p != mc && slowisancestor(S, p, mc) && slowisancestor(S, m, p);
        if (onpath && (p != m || r.dup[k]) && !slowisancestor(S, s, mc)) {
          ev.loss[s]++;
          ev.lineages[s]++;
        }
      }
    }
  }
  for (short s = 0; s < S.total; s++) ev.genetrees[s] += reached[s];
}
