// kvgen: synthetic input for kelvora. A species tree of a chosen size and shape (or a given
// one) and gene families grown along it by a duplication-loss birth-death process.
// Standard library only, so it builds and runs without the rest of the project.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* helptext =
    "Usage: kvgen [options]\n"
    "Writes a rooted species tree and gene trees grown along it by gene duplication and loss.\n"
    "Species tree:\n"
    "  -n N       number of species (default 8)\n"
    "  -t SHAPE   random, balanced or caterpillar (default random)\n"
    "  -T TEXT    use this species tree instead, e.g. '((a:1,b:2):1,c:3)' (lengths optional)\n"
    "  -e LEN     length of every branch of a generated species tree (default 1)\n"
    "Gene families:\n"
    "  -f N       number of families to write (default 10)\n"
    "  -d RATE    duplications per gene per unit of branch length (default 0.3)\n"
    "  -l RATE    losses per gene per unit of branch length (default 0.3)\n"
    "  -M N       largest family kept, in genes (default 500, at most 8193)\n"
    "  -x SEED    random seed (default 1); the same seed gives the same output\n"
    "             Families of fewer than 3 surviving genes, or more than -M, are drawn again.\n"
    "Output:\n"
    "  -L STYLE   gene labels: species (default: the species name), prefix (SPECIES_gK, read\n"
    "             with kelvora -l b_) or middle (gK_SPECIES, read with kelvora -l a_)\n"
    "  -b         write branch lengths on the gene trees\n"
    "  -E RATE    gene-tree error: RATE x (internal nodes) random NNIs on each family (default 0)\n"
    "  -s FILE    species tree file (default species.txt; - for standard output)\n"
    "  -g FILE    gene tree file, one tree per line (default: standard output)\n"
    "  -h, --help this text\n";

[[noreturn]] void fail(const std::string& msg) {
  std::cerr << "kvgen: " << msg << "\n";
  exit(1);
}

struct Settings {
  int species = 8;
  std::string shape = "random";
  std::string text;
  double edge = 1.0;
  int families = 10;
  double dup = 0.3, loss = 0.3;
  int maxgenes = 500;
  uint64_t seed = 1;
  std::string labels = "species";
  double error = 0;  // random NNIs per internal gene node, as gene-tree inference error
  bool lengths = false;
  std::string speciesfile = "species.txt";
  std::string genefile = "-";
};

// Random numbers from the engine's bits alone, so a seed gives the same data everywhere.
struct Random {
  std::mt19937_64 engine;
  explicit Random(uint64_t seed) : engine(seed) {}
  double uniform() { return (engine() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
  double exponential(double rate) { return -std::log(1.0 - uniform()) / rate; }
  size_t below(size_t n) { return engine() % n; }
};

// A rooted binary tree; node i has children l[i], r[i] (-1 for a leaf) and the length of the
// branch above it.
struct Tree {
  std::vector<int> l, r;
  std::vector<double> len;
  std::vector<std::string> name;
  int root = -1;
  int add(int a, int b, double length, const std::string& n = "") {
    l.push_back(a);
    r.push_back(b);
    len.push_back(length);
    name.push_back(n);
    return static_cast<int>(l.size()) - 1;
  }
  bool leaf(int v) const { return l[v] < 0; }
};

Tree shapedtree(const Settings& st, Random& rnd) {
  Tree t;
  std::vector<int> parts;
  for (int i = 0; i < st.species; i++) parts.push_back(t.add(-1, -1, st.edge, "s" + std::to_string(i)));
  if (st.shape == "caterpillar") {
    int v = parts[0];
    for (int i = 1; i < st.species; i++) v = t.add(v, parts[i], st.edge);
    t.root = v;
  } else if (st.shape == "balanced") {
    // Join neighbours level by level: a complete tree when N is a power of two.
    while (parts.size() > 1) {
      std::vector<int> next;
      for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(t.add(parts[i], parts[i + 1], st.edge));
      if (parts.size() % 2) next.push_back(parts.back());
      parts = next;
    }
    t.root = parts[0];
  } else if (st.shape == "random") {
    while (parts.size() > 1) {
      size_t i = rnd.below(parts.size());
      int a = parts[i];
      parts.erase(parts.begin() + i);
      size_t j = rnd.below(parts.size());
      int b = parts[j];
      parts.erase(parts.begin() + j);
      parts.push_back(t.add(a, b, st.edge));
    }
    t.root = parts[0];
  } else {
    fail("unknown shape " + st.shape + " (random, balanced or caterpillar)");
  }
  return t;
}

// Reads a binary species tree text: names of letters, digits, "_", "." and "-", optional
// ":length" after any subtree, optional ";" at the end.
struct Reader {
  const std::string& s;
  size_t p = 0;
  Tree& t;
  Reader(const std::string& s, Tree& t) : s(s), t(t) {}
  void blanks() {
    while (p < s.size() && isspace(static_cast<unsigned char>(s[p]))) p++;
  }
  void expect(char c) {
    blanks();
    if (p >= s.size() || s[p] != c)
      fail(std::string("species tree: '") + c + "' expected at character " + std::to_string(p + 1));
    p++;
  }
  double length() {
    blanks();
    if (p >= s.size() || s[p] != ':') return -1;
    p++;
    const char* start = s.c_str() + p;
    char* end;
    double x = strtod(start, &end);
    if (end == start || !(x >= 0)) fail("species tree: branch length expected at character " + std::to_string(p + 1));
    p += end - start;
    return x;
  }
  int subtree(double edge) {
    blanks();
    int v;
    if (p < s.size() && s[p] == '(') {
      p++;
      int a = subtree(edge);
      expect(',');
      int b = subtree(edge);
      expect(')');
      v = t.add(a, b, edge);
    } else {
      size_t start = p;
      while (p < s.size() && (isalnum(static_cast<unsigned char>(s[p])) || s[p] == '_' || s[p] == '.' || s[p] == '-')) p++;
      if (p == start) fail("species tree: name expected at character " + std::to_string(p + 1));
      v = t.add(-1, -1, edge, s.substr(start, p - start));
    }
    double x = length();
    if (x >= 0) t.len[v] = x;
    return v;
  }
};

Tree readtree(const Settings& st) {
  Tree t;
  Reader rd(st.text, t);
  t.root = rd.subtree(st.edge);
  rd.blanks();
  while (rd.p < st.text.size() && (st.text[rd.p] == ';' || isspace(static_cast<unsigned char>(st.text[rd.p])))) rd.p++;
  if (rd.p != st.text.size()) fail("species tree: unexpected text at character " + std::to_string(rd.p + 1));
  if (t.leaf(t.root)) fail("species tree: at least two species needed");
  return t;
}

void printspecies(std::ostream& out, const Tree& t, int v) {
  if (t.leaf(v)) {
    out << t.name[v];
    return;
  }
  out << "(";
  printspecies(out, t, t.l[v]);
  out << ",";
  printspecies(out, t, t.r[v]);
  out << ")";
}

// One gene family grown down the species tree. Lost lineages are pruned as they die, and a
// node left with one child is dissolved into its surviving child's branch.
struct Family {
  const Tree& S;
  const Settings& st;
  Random& rnd;
  Tree G;                  // gene nodes; name holds the species of a gene leaf
  int genes = 0;
  Family(const Tree& S, const Settings& st, Random& rnd) : S(S), st(st), rnd(rnd) {}

  int join(int a, int b, double above) {
    if (a < 0 && b < 0) return -1;
    if (a < 0 || b < 0) {
      int c = a < 0 ? b : a;
      G.len[c] += above;
      return c;
    }
    return G.add(a, b, above);
  }

  // A lineage with `left` time still to run on the branch above species node s, and `above`
  // time since its last gene node. Returns its surviving subtree or -1.
  int lineage(int s, double left, double above) {
    if (genes > st.maxgenes) return -1;  // the family is too large and will be drawn again
    double rate = st.dup + st.loss;
    double t = rate > 0 ? rnd.exponential(rate) : INFINITY;
    if (t < left) {
      if (rnd.uniform() * rate >= st.dup) return -1;
      int a = lineage(s, left - t, 0);
      int b = lineage(s, left - t, 0);
      return join(a, b, above + t);
    }
    above += left;
    if (S.leaf(s)) {
      genes++;
      return G.add(-1, -1, above, S.name[s]);
    }
    int a = lineage(S.l[s], S.len[S.l[s]], 0);
    int b = lineage(S.r[s], S.len[S.r[s]], 0);
    return join(a, b, above);
  }

  // Inferred gene trees are never exact: rate x (internal nodes) random NNIs, each swapping a
  // child of a node with that node's sibling.
  void perturb(int top, double rate) {
    std::vector<int> parent(G.l.size(), -1), internal;
    for (size_t v = 0; v < G.l.size(); v++)
      if (!G.leaf(static_cast<int>(v))) parent[G.l[v]] = parent[G.r[v]] = static_cast<int>(v);
    auto below = [&](int v) {  // only nodes of the surviving tree
      while (v != top && v >= 0) v = parent[v];
      return v == top;
    };
    for (size_t v = 0; v < G.l.size(); v++)
      if (!G.leaf(static_cast<int>(v)) && static_cast<int>(v) != top && below(static_cast<int>(v)))
        internal.push_back(static_cast<int>(v));
    if (internal.empty()) return;
    long moves = std::lround(rate * static_cast<double>(internal.size() + 1));
    for (long m = 0; m < moves; m++) {
      int v = internal[rnd.below(internal.size())];
      int p = parent[v];
      bool left = G.l[p] == v;
      int w = left ? G.r[p] : G.l[p];
      bool first = rnd.below(2) == 0;
      int c = first ? G.l[v] : G.r[v];
      (left ? G.r[p] : G.l[p]) = c;
      (first ? G.l[v] : G.r[v]) = w;
      parent[c] = p;
      parent[w] = v;
    }
  }

  void print(std::ostream& out, int v, int& count, bool top) {
    if (G.leaf(v)) {
      count++;
      const std::string& sp = G.name[v];
      std::string k = std::to_string(count);
      if (st.labels == "prefix")
        out << sp << "_g" << k;
      else if (st.labels == "middle")
        out << "g" << k << "_" << sp;
      else
        out << sp;
    } else {
      out << "(";
      print(out, G.l[v], count, false);
      out << ",";
      print(out, G.r[v], count, false);
      out << ")";
    }
    if (st.lengths && !top) out << ":" << std::fixed << G.len[v] << std::defaultfloat;
  }
};

double number(const char* opt, const char* arg) {
  char* end;
  double x = strtod(arg, &end);
  if (end == arg || *end || !(x >= 0) || std::isinf(x)) fail(std::string("a number of 0 or more expected after ") + opt);
  return x;
}

int count(const char* opt, const char* arg, int lo, int hi) {
  char* end;
  long x = strtol(arg, &end, 10);
  if (end == arg || *end || x < lo || x > hi)
    fail(std::string("a whole number from ") + std::to_string(lo) + " to " + std::to_string(hi) + " expected after " + opt);
  return static_cast<int>(x);
}

Settings readargs(int argc, char** argv) {
  Settings st;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::cout << helptext;
      exit(0);
    }
    if (a == "-b") {
      st.lengths = true;
      continue;
    }
    if (a.size() != 2 || a[0] != '-' || std::string("ntTefdlMxLsgE").find(a[1]) == std::string::npos)
      fail("unknown option " + a + " (see kvgen --help)");
    if (i + 1 >= argc) fail("a value expected after " + a);
    const char* v = argv[++i];
    switch (a[1]) {
      case 'n': st.species = count("-n", v, 2, 15000); break;
      case 't': st.shape = v; break;
      case 'T': st.text = v; break;
      case 'e': st.edge = number("-e", v); break;
      case 'f': st.families = count("-f", v, 0, 100000000); break;
      case 'd': st.dup = number("-d", v); break;
      case 'l': st.loss = number("-l", v); break;
      case 'M': st.maxgenes = count("-M", v, 3, 8193); break;
      case 'x': st.seed = static_cast<uint64_t>(count("-x", v, 0, 2147483647)); break;
      case 'L':
        st.labels = v;
        if (st.labels != "species" && st.labels != "prefix" && st.labels != "middle")
          fail("unknown label style " + st.labels + " (species, prefix or middle)");
        break;
      case 'E': st.error = number("-E", v); break;
      case 's': st.speciesfile = v; break;
      case 'g': st.genefile = v; break;
    }
  }
  return st;
}

std::ostream& openout(const std::string& name, std::ofstream& file) {
  if (name == "-") return std::cout;
  file.open(name);
  if (!file) fail("cannot write " + name);
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  Settings st = readargs(argc, argv);
  Random rnd(st.seed);
  Tree S = st.text.empty() ? shapedtree(st, rnd) : readtree(st);

  std::ofstream sfile, gfile;
  std::ostream& sout = openout(st.speciesfile, sfile);
  printspecies(sout, S, S.root);
  sout << "\n";
  std::ostream& gout = openout(st.genefile, gfile);
  gout.precision(4);

  // Bounded, so that a loss rate that kills nearly every family still ends.
  long tries = 0, maxtries = 1000L * st.families + 1000;
  for (int kept = 0; kept < st.families;) {
    if (++tries > maxtries)
      fail("only " + std::to_string(kept) + " families of 3 to " + std::to_string(st.maxgenes) +
           " genes in " + std::to_string(maxtries) + " tries; lower the loss rate or raise -M");
    Family fam(S, st, rnd);
    int top = fam.lineage(S.root, 0, 0);
    if (top < 0 || fam.genes < 3 || fam.genes > st.maxgenes) continue;
    if (st.error > 0) fam.perturb(top, st.error);
    int leaves = 0;
    fam.print(gout, top, leaves, true);
    gout << "\n";
    kept++;
  }
  gout.flush();
  if (!gout) fail("cannot write the gene trees");
  return 0;
}
