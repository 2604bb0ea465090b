#include "io/newick.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <utility>

#include "io/chunkread.h"
#include "io/genemap.h"
#include "io/tokenizer.h"
#include "parallel/pool.h"
#include "trees/edgelabels.h"
#include "trees/fatal.h"
#include "trees/innernames.h"
#include "trees/multigene.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/treeweights.h"
#include "trees/unrootedtree.h"

namespace {

const char* const syntaxhelp =
    "A tree is written (child,child)label:length and ends with ';' or its line end; labels "
    "holding blanks or ()[]':;, go in single quotes.";

// Bytes of unquoted labels and of numbers: all but blanks, line ends, ()[]':;, and NUL.
struct LabelBytes {
  bool in[256];
  LabelBytes() {
    for (int c = 0; c < 256; c++) in[c] = c != 0 && c != '\n' && !isinputblank(static_cast<char>(c));
    for (unsigned char c : std::string("()[]':;,")) in[c] = false;
  }
};
const LabelBytes labelbytes;

inline bool labelbyte(char c) { return labelbytes.in[static_cast<unsigned char>(c)]; }

size_t skipmore(const InputText& in, size_t p, bool lines);

// Between most tokens there is nothing to skip: that case costs one test.
inline size_t skip(const InputText& in, size_t p, bool lines) {
  char c = in.text[p];
  if (labelbyte(c) || c == '(' || c == ')' || c == ',' || c == ':' || c == ';') return p;
  return skipmore(in, p, lines);
}

// Skips blanks and [comments]; stops at a line end unless lines.
size_t skipmore(const InputText& in, size_t p, bool lines) {
  for (;;) {
    char c = in.text[p];
    if (isinputblank(c) || (lines && c == '\n')) {
      p++;
    } else if (c == '[') {
      const void* close = memchr(in.text + p, ']', in.size - p);
      if (!close) inputerror(in, p, "comment not closed", "Close the comment with ']'.");
      p = static_cast<const char*>(close) - in.text + 1;
    } else {
      return p;
    }
  }
}

// Reads a label at p, if there is one (labellen 0 if not); returns the offset after it.
size_t readlabel(const InputText& in, size_t p, NewickTree& t, NewickItem& it) {
  it.quoted = false;
  it.label = p;
  if (in.text[p] == '\'') {
    size_t open = p++;
    it.quoted = true;
    it.label = t.names.size();
    for (;;) {
      char c = in.text[p];
      if (c == '\'') {
        p++;
        if (in.text[p] != '\'') break;
      } else if (c == '\n' || p >= in.size) {
        inputerror(in, open, "quoted label not closed on its line",
                   "End the label with '; write '' for a quote inside it.");
      }
      t.names += c;
      p++;
    }
    if (t.names.size() - it.label > INT_MAX) inputerror(in, open, "label too long", "Shorten the label.");
    it.labellen = static_cast<int>(t.names.size() - it.label);
    return p;
  }
  while (labelbyte(in.text[p])) p++;
  if (p - it.label > INT_MAX) inputerror(in, it.label, "label too long", "Shorten the label.");
  it.labellen = static_cast<int>(p - it.label);
  return p;
}

// Reads an optional ":length" with blanks and comments around it.
size_t readlength(const InputText& in, size_t p, bool lines, NewickItem& it) {
  it.haslength = false;
  p = skip(in, p, lines);
  if (in.text[p] != ':') return p;
  size_t colon = p;
  p = skip(in, p + 1, lines);
  size_t q = p;
  while (labelbyte(in.text[q])) q++;
  if (q == p)
    inputerror(in, colon, "a branch length is expected after ':'",
               "Write a number after ':', or remove the ':'.");
  // Read from a bounded copy: no number is longer, and strtod would scan on past the token.
  char buf[64];
  size_t n = q - p;
  bool number = false;
  if (n < sizeof buf) {
    memcpy(buf, in.text + p, n);
    buf[n] = 0;
    char* end;
    it.length = strtod(buf, &end);
    number = end == buf + n;
  }
  if (!number)
    inputerror(in, p, "branch length " + std::string(in.text + p, std::min<size_t>(n, 40)) +
                          " is not a number",
               "Write a number after ':', or remove the ':'.");
  it.haslength = true;
  return skip(in, q, lines);
}

// An inner node's label as a support value: a number, or of "a/b" (IQ-TREE's SH-aLRT/UFBoot)
// the last one; NaN when the label is empty or holds no number.
double supportof(const char* label, int len) {
  const char* slash = static_cast<const char*>(memrchr(label, '/', len));
  if (slash) {
    len -= static_cast<int>(slash + 1 - label);
    label = slash + 1;
  }
  char buf[64];
  if (len <= 0 || len >= static_cast<int>(sizeof buf)) return std::nan("");
  memcpy(buf, label, len);
  buf[len] = 0;
  char* end;
  double v = strtod(buf, &end);
  return end == buf + len ? v : std::nan("");
}

const char* kindname(bool gene) { return gene ? "gene tree" : "species tree"; }

// After the root: ';' (maybe on a later line), or the line end when the tree stands on one line.
size_t endoftree(const InputText& in, size_t p, const NewickTree& t) {
  size_t q = skip(in, p, true);
  if (in.text[q] == ';') return q + 1;
  if (q < in.size && !memchr(in.text + p, '\n', q - p))
    t.error(q, std::string("';' or the line end expected after the tree, found '") + in.text[q] + "'",
            "Put one tree per line, or end each tree with ';'.");
  if (!in.file.empty() && memchr(in.text + t.start, '\n', p - t.start))
    t.error(p, std::string("this ") + kindname(t.gene) + " spans several lines but has no ';'",
            "End a tree that spans lines with ';'; without it a tree ends at its line end.");
  return p;
}

}  // namespace

long leftoutsmall = 0;
std::vector<std::string> speciesoutgroup;

namespace {

// An unrooted species tree (its items hold a JOIN) rooted on the branch that parts the
// outgroup's species from the rest: the outgroup's clade on the left.
RootedTree* rootonoutgroup(const NewickTree& t) {
  // The tree as read, rooted anywhere: children of inner nodes, species of leaves.
  std::vector<std::array<int, 2>> kids;
  std::vector<int> species, parent;
  std::vector<int> stack;
  std::set<int> seen;
  for (const NewickItem& it : t.items) {
    int v = static_cast<int>(species.size());
    if (it.kind == NewickItem::LEAF) {
      std::string name(t.labelof(it), it.labellen);
      int s = registerspecies(name);
      if (!seen.insert(s).second)
        t.error(it.pos, "species " + name + " is named twice in this species tree",
                "Name each species once: a species tree has one leaf per species.");
      species.push_back(s);
      kids.push_back({-1, -1});
    } else {
      int b = stack.back();
      stack.pop_back();
      int a = stack.back();
      stack.pop_back();
      species.push_back(-1);
      kids.push_back({a, b});
      parent.resize(species.size(), -1);
      parent[a] = parent[b] = v;
    }
    parent.resize(species.size(), -1);
    stack.push_back(v);
  }
  const int root = stack.back();
  std::set<int> out;
  std::string names;
  for (const std::string& name : speciesoutgroup) {
    auto id = specnames2id.find(name);
    if (id == specnames2id.end() || !seen.count(id->second))
      t.error(t.start, "the outgroup species " + name + " is not in this species tree",
              "Give --outgroup the names of species of the tree, apart by commas.");
    out.insert(id->second);
    names += (names.empty() ? "" : ",") + name;
  }
  // Leaves below each node: the outgroup is the clade of some node, or all but it.
  const int n = static_cast<int>(species.size());
  std::vector<int> inside(n, 0), below(n, 0);
  for (int v = 0; v < n; v++) {
    if (species[v] >= 0) {
      below[v] = 1;
      inside[v] = out.count(species[v]) ? 1 : 0;
    } else {
      below[v] = below[kids[v][0]] + below[kids[v][1]];
      inside[v] = inside[kids[v][0]] + inside[kids[v][1]];
    }
  }
  const int all = static_cast<int>(out.size()), leaves = below[root];
  int edge = -1;
  bool outbelow = false;
  for (int v = 0; v < n && edge < 0; v++) {
    if (v == root) continue;
    if (inside[v] == all && below[v] == all) edge = v, outbelow = true;
    else if (inside[v] == 0 && below[v] == leaves - all) edge = v, outbelow = false;
  }
  if (edge < 0 || all == leaves)
    t.error(t.start, "the outgroup " + names + " is not a clade of this unrooted species tree",
            "Give --outgroup species that one branch parts from all the others.");
  // Postorder of the side of the branch (from, to) that holds to; the original root joins
  // its two neighbours into one branch.
  std::vector<int> post;
  std::function<void(int, int)> side = [&](int from, int v) {
    if (species[v] >= 0) {
      post.push_back(species[v]);
      return;
    }
    std::vector<int> next;
    for (int w : {kids[v][0], kids[v][1], parent[v]})
      if (w >= 0 && w != from) next.push_back(w);
    if (v == root && next.size() == 1) return side(v, next[0]);
    side(v, next[0]);
    side(v, next[1]);
    post.push_back(POSTJOIN);
  };
  int up = parent[edge];
  if (outbelow) {
    side(up, edge);
    side(edge, up);
  } else {
    side(edge, up);
    side(up, edge);
  }
  post.push_back(POSTJOIN);
  return speciestreeof(post);
}

bool unrootedtop(const NewickTree& t) {
  for (const NewickItem& it : t.items)
    if (it.kind == NewickItem::JOIN) return true;
  return false;
}

}  // namespace

RootedTree* newickspecies(const NewickTree& t) {
  return unrootedtop(t) ? rootonoutgroup(t) : new RootedTree(t);
}

namespace {

// The weight that a [&WEIGHT=w] comment among the comments just before start gives the tree
// there, or 1. Read back from the tree, so that a chunk read on a thread finds it as the
// whole file's reader does.
double weightbefore(const InputText& in, size_t start, const NewickTree& t) {
  size_t p = start;
  while (p > 0) {
    char c = in.text[p - 1];
    if (isinputblank(c) || c == '\n') {
      p--;
      continue;
    }
    if (p >= 3 && bomlength(in.text + p - 3)) {
      p -= 3;
      continue;
    }
    if (c != ']') break;
    size_t open = p - 1;
    while (open > 0 && in.text[open] != '[') open--;
    if (in.text[open] != '[') break;
    static const char key[] = "[&WEIGHT=";
    const size_t keylen = sizeof key - 1;
    if (p - 1 - open > keylen && strncasecmp(in.text + open, key, keylen) == 0) {
      std::string value(in.text + open + keylen, p - 1 - open - keylen);
      char* end;
      double w = strtod(value.c_str(), &end);
      if (end == value.c_str() || *end || !(w >= 0) || w > 1e9)
        t.error(open, "weight " + value + " is not a number from 0 to 1e9",
                "Write the weight of the tree that follows as [&WEIGHT=0.5].");
      return w;
    }
    p = open;
  }
  return 1.0;
}

}  // namespace

size_t readnewick(const InputText& in, size_t pos, bool gene, NewickTree& t) {
  t.in = &in;
  t.gene = gene;
  t.small = false;
  t.leaves = 0;
  t.polytomies = false;
  t.items.clear();
  t.names.clear();
  // Files joined together keep the byte-order mark of each.
  pos = skip(in, pos, true);
  while (bomlength(in.text + pos)) pos = skip(in, pos + 3, true);
  t.start = pos;
  t.weight = gene ? weightbefore(in, pos, t) : 1.0;
  const int maxleaves = gene ? MAXGENELEAVES : MAXLEAVES;
  struct Open {
    size_t pos;
    int children;
  };
  static thread_local std::vector<Open> open;
  open.clear();
  size_t p = pos;
  for (;;) {
    p = skip(in, p, true);
    if (in.text[p] == '(') {
      // Every node has two children at least, so a tree that fits nests less deep than its
      // leaf limit; deeper text would only fill memory.
      if (open.size() >= static_cast<size_t>(maxleaves))
        t.error(p, std::string("the ") + kindname(gene) + " nests deeper than " +
                       std::to_string(maxleaves) + " levels",
                "Check the parentheses: no tree that fits nests this deep.");
      open.push_back({p, 0});
      p++;
      continue;
    }
    NewickItem it{};
    it.kind = NewickItem::LEAF;
    it.pos = p;
    p = readlabel(in, p, t, it);
    if (it.labellen == 0) {
      if (p >= in.size)
        t.error(p, open.empty() ? std::string("no ") + kindname(gene) + " here"
                                : "the text ends inside the tree: a ')' is missing",
                open.empty() ? "Give a tree such as ((a,b),c);" : "Close every '(' with ')'.");
      t.error(p, std::string("a leaf label or '(' expected, found '") + in.text[p] + "'",
              syntaxhelp);
    }
    p = readlength(in, p, !open.empty(), it);
    if (++t.leaves > maxleaves)
      t.error(it.pos,
              std::string("the ") + kindname(gene) + " has more than " +
                  std::to_string(maxleaves) + " leaves",
              "Kelvora reads gene trees of at most " + std::to_string(MAXGENELEAVES) +
                  " leaves and species trees of at most " + std::to_string(MAXLEAVES) + ".");
    t.items.push_back(it);
    // The node is complete: a comma follows, or parentheses that close its ancestors.
    for (;;) {
      if (open.empty()) {
        // Real collections hold gene trees this small (a gene and its lone copy): they tell
        // nothing of the species tree and are left out.
        if (gene && t.leaves < 3) {
          t.small = true;
          return endoftree(in, p, t);
        }
        if (!gene && t.leaves < 2)
          t.error(t.start,
                  std::string("a ") + kindname(gene) + " needs at least " + (gene ? "3" : "2") +
                      " leaves; this one has " + std::to_string(t.leaves),
                  "Leave out trees this small.");
        return endoftree(in, p, t);
      }
      Open& o = open.back();
      o.children++;
      char c = in.text[p];
      if (c == ',') {
        // A species tree from an inference program is unrooted: three children at the top,
        // rooted later on its outgroup.
        bool top = (gene || !speciesoutgroup.empty()) && open.size() == 1;
        if (!gene && o.children >= (top ? 3 : 2))
          t.error(o.pos,
                  std::string("a node with more than ") + (top ? "three" : "two") +
                      " children in this species tree",
                  open.size() == 1 && o.children == 2
                      ? "Resolve the polytomy first: species trees are binary. An unrooted "
                        "species tree (three children at the top) is rooted by --outgroup NAME."
                      : "Resolve the polytomy first: species trees are binary.");
        if (gene ? o.children >= 2 : top && o.children == 2) {
          // The top's third child joins an edge; any further child makes a polytomy.
          NewickItem join{};
          join.kind = top && o.children == 2 ? NewickItem::JOIN : NewickItem::MERGE;
          join.pos = p;
          t.items.push_back(join);
          if (join.kind == NewickItem::MERGE) t.polytomies = true;
        }
        p++;
        break;
      }
      if (c == ')') {
        if (o.children == 1)
          t.error(o.pos, "a node with one child", "Remove the parentheses around the lone child.");
        NewickItem close{};
        close.kind = gene && open.size() == 1 ? NewickItem::TOPCLOSE : NewickItem::CLOSE;
        close.pos = o.pos;
        open.pop_back();
        bool inside = !open.empty();
        // An inner node's label (a support value or a name) goes with the node.
        p = readlabel(in, skip(in, p + 1, inside), t, close);
        close.support = supportof(close.quoted ? t.names.data() + close.label : in.text + close.label,
                                  close.labellen);
        p = readlength(in, p, inside, close);
        t.items.push_back(close);
        continue;
      }
      if (p >= in.size)
        t.error(p, "the text ends inside the tree: a ')' is missing", "Close every '(' with ')'.");
      t.error(p, std::string("',' or ')' expected, found '") + c + "'", syntaxhelp);
    }
  }
}

// The two subtrees a closing bracket joins, left one first, off the builders' stack.
static void poptwo(std::vector<short>& stack, short& first, short& second) {
  second = stack.back();
  stack.pop_back();
  first = stack.back();
  stack.pop_back();
}

RootedTree::RootedTree(const NewickTree& nw) : RootedTree() {
  init(nw.leaves, nw.leaves - 1, nullptr);
  // Which species this tree named, and where: stamped per tree, so never cleared.
  static std::vector<unsigned> seen;
  static unsigned stamp = 0;
  stamp++;
  static std::vector<short> stack;
  stack.clear();
  short nextleaf = 0, nextinternal = static_cast<short>(leaves);
  std::vector<std::string> inner;
  for (const NewickItem& it : nw.items) {
    if (it.kind == NewickItem::LEAF) {
      short v = nextleaf++;
      std::string name = nw.byspecies ? specnames[it.label] : std::string(nw.labelof(it), it.labellen);
      int s = nw.byspecies ? static_cast<int>(it.label) : registerspecies(name);
      if (seen.size() <= static_cast<size_t>(s)) seen.resize(specnames.size(), 0);
      if (seen[s] == stamp)
        nw.error(it.pos, "species " + name + " is named twice in this species tree",
                 "Name each species once: a species tree has one leaf per species.");
      seen[s] = stamp;
      lab[v] = static_cast<short>(s);
      stack.push_back(v);
      continue;
    }
    short left, right;
    poptwo(stack, left, right);
    short v = nextinternal++;
    son[v] = right;
    son[v - leaves] = left;
    parent[left] = v;
    parent[right] = v;
    level[v] = static_cast<short>(1 + std::max(level[left], level[right]));
    stack.push_back(v);
    // A label that is no number names the clade (a support value would be one).
    if (!nw.byspecies && it.labellen > 0 && std::isnan(it.support)) {
      inner.resize(total);
      inner[v] = std::string(nw.labelof(it), it.labellen);
    }
  }
  root = stack.back();
  if (!inner.empty()) keepinnernames(this, inner);
}

// Node by node as the text constructor builds it, so both readers number a tree alike.
UnrootedTree::UnrootedTree(const NewickTree& nw) : UnrootedTree() {
  int n = nw.leaves;
  init(n, 3 * n - 6, nullptr);
  brlen = new double[total];
  std::fill(brlen, brlen + total, NOLENGTH);
  bool mapped = genemapactive() && !nw.byspecies;
  if ((gsid || mapped) && !nw.byspecies) leaflabels = new char*[n]();
  static thread_local std::vector<short> stack;
  stack.clear();
  short nextleaf = 0, nextinternal = static_cast<short>(n);
  std::vector<std::string> labels;  // by directed node, only when the text has any
  for (const NewickItem& it : nw.items) {
    if (it.kind == NewickItem::LEAF) {
      short v = nextleaf++;
      if (nw.byspecies) {
        lab[v] = static_cast<short>(it.label);
        stack.push_back(v);
        continue;
      }
      const char* label = nw.labelof(it);
      int s = mapped ? genemapspecies(label, it.labellen) : gsfind(label, it.labellen);
      if (s < 0) {
        std::string l(label, it.labellen);
        if (mapped)
          nw.error(it.pos, "gene " + l + " is not in the map file " + genemapfile(),
                   "Add a line \"" + l + " SPECIES\" to " + genemapfile() + ".");
        nw.error(it.pos, "the -l rule finds no species name in " + l,
                 "Choose a -l rule that fits the labels, or map genes to species with --map FILE.");
      }
      lab[v] = static_cast<short>(s);
      if (leaflabels) leaflabels[v] = mstrndup(label, it.labellen);
      if (it.haslength) brlen[v] = it.length;
      stack.push_back(v);
      continue;
    }
    short first, second;
    poptwo(stack, first, second);
    if (it.kind == NewickItem::MERGE) {
      stack.push_back(createNode3(first, second, NOLENGTH, nextinternal));
      continue;
    }
    if (it.kind == NewickItem::CLOSE || it.kind == NewickItem::JOIN) {
      double len = it.kind == NewickItem::CLOSE && it.haslength ? it.length : NOLENGTH;
      short v = createNode3(first, second, len, nextinternal);
      if (it.kind == NewickItem::CLOSE && it.labellen > 0) {
        labels.resize(total);
        labels[v].assign(nw.labelof(it), it.labellen);
      }
      stack.push_back(v);
      continue;
    }
    // The halves of a two-child top are one edge: like its length, it keeps the first
    // half's label if that has one.
    if (!labels.empty() && !labels[first].empty()) labels[second].clear();
    jointopedge(*this, first, second);
    inroot = second;
  }
  if (!labels.empty()) keepedgelabels(this, labels);
}

double collapsebelow = -HUGE_VAL;

namespace {

bool lowsupport(double support) { return support < collapsebelow; }  // false for NaN

// Directed nodes of the tree that the builder makes from t whose edges are not in t: those
// that resolve a polytomy, and with --collapse those of low support. Numbered as the builder
// numbers them: leaves in order, then a triple per joining item, its upward node last.
std::vector<short> contractededges(const NewickTree& t) {
  struct Part {
    short v;
    bool partial;    // a polytomy's children joined so far
    double support;  // of the edge above v
  };
  std::vector<Part> stack;
  std::vector<short> cut;
  short nextleaf = 0, nextinternal = static_cast<short>(t.leaves);
  for (const NewickItem& it : t.items) {
    if (it.kind == NewickItem::LEAF) {
      stack.push_back({nextleaf++, false, std::nan("")});
      continue;
    }
    Part second = stack.back();
    stack.pop_back();
    Part first = stack.back();
    stack.pop_back();
    if (it.kind == NewickItem::TOPCLOSE) {
      if (lowsupport(first.support) || lowsupport(second.support)) cut.push_back(first.v);
      continue;
    }
    for (const Part& x : {first, second})
      if ((x.partial && it.kind != NewickItem::JOIN) || lowsupport(x.support))
        cut.push_back(x.v);
    bool partial = it.kind == NewickItem::JOIN || it.kind == NewickItem::MERGE;
    stack.push_back({static_cast<short>(nextinternal + 2), partial,
                     it.kind == NewickItem::CLOSE ? it.support : std::nan("")});
    nextinternal = static_cast<short>(nextinternal + 3);
  }
  return cut;
}

// A gene tree as the builder makes it, with its multifurcating form beside it when it has one.
UnrootedTree* genetree(const NewickTree& t) {
  UnrootedTree* G = new UnrootedTree(t);
  if (t.weight != 1.0) setgeneweight(G, t.weight);
  if (t.polytomies || collapsebelow != -HUGE_VAL) {
    std::vector<short> cut = contractededges(t);
    if (!cut.empty()) addmultiform(G, std::make_unique<MultiGeneTree>(*G, cut));
  }
  return G;
}

// One tree of -s or -g: nothing but blanks and comments may follow it.
template <class T>
T* optiontree(char* text, bool gene, const char* option) {
  InputText in;
  in.text = text;
  in.size = strlen(text);
  in.option = option;
  static NewickTree t;
  size_t p = skip(in, readnewick(in, 0, gene, t), true);
  if (p < in.size)
    inputerror(in, p, "text after the tree", std::string("Give one tree per ") + option + ".");
  if (t.small) {
    leftoutsmall++;
    return nullptr;
  }
  if constexpr (std::is_same_v<T, UnrootedTree>)
    return genetree(t);
  else if constexpr (std::is_same_v<T, RootedTree>)
    return newickspecies(t);
  else
    return new T(t);
}

// Where the next tree of a list file starts, from p: blanks, comments, byte-order marks and
// lines starting with # skipped.
size_t nexttree(const InputText& in, size_t p) {
  for (;;) {
    p = skip(in, p, true);
    if (bomlength(in.text + p)) {
      p += 3;
    } else if (in.text[p] == '#') {
      while (p < in.size && in.text[p] != '\n') p++;
    } else {
      return p;
    }
  }
}

// Calls make(in, pos) at the start of each tree of the text from p on; make returns the
// offset after it.
template <class Make>
void readnewickfrom(const InputText& in, size_t p, Make make) {
  for (;;) {
    p = nexttree(in, p);
    if (p >= in.size) return;
    p = make(in, p);
  }
}

template <class Make>
void readnewicklist(const char* fname, const char* option, Make make) {
  InputFile buf;
  InputText in;
  in.option = option;
  readinputfile(fname, buf, in);
  readnewickfrom(in, 0, make);
}

// readnewickgtrees on the threads. A chunk begins at a line start, which need not be where
// a tree starts (a tree may span lines, a comment too): it is taken only when reading the file
// from its start arrives at the tree the chunk began with.
void readnewickgchunks(const char* fname, std::vector<UnrootedTree*>& gtree) {
  InputFile buf;
  InputText in;
  in.option = "-G";
  readinputfile(fname, buf, in);
  std::vector<ReadChunk> chunks = cutchunks(in, true);
  readchunks(chunks, [&](ReadChunk& c) {
    NewickTree t;
    c.first = SIZE_MAX;
    for (size_t p = c.begin;;) {
      size_t names = c.species.names.size();
      try {
        size_t s = nexttree(in, p);
        if (c.first == SIZE_MAX) c.first = s;
        if (s >= c.end || s >= in.size) {
          c.next = s;
          return;
        }
        p = readnewick(in, s, true, t);
        if (t.small)
          c.small++;
        else
          c.trees.push_back(genetree(t));
      } catch (QuietFailure&) {
        c.failed = true;
        c.failat = p;
        c.namesbefore = names;
        return;
      }
    }
  });
  // The main thread reads the file as one thread does, but where a chunk's first tree starts
  // it takes the chunk's trees and goes on where the chunk ended, or at the tree the chunk
  // could not read. A chunk that began inside a tree or comment is passed by.
  NewickTree t;
  size_t k = 0;
  readnewickfrom(in, 0, [&](const InputText& in, size_t p) {
    // SIZE_MAX: the chunk found no start at all (it began inside a comment never closed).
    while (k < chunks.size() && (chunks[k].first < p || chunks[k].first == SIZE_MAX))
      dropchunk(chunks[k++]);
    if (k < chunks.size() && chunks[k].first == p) {
      ReadChunk& c = chunks[k++];
      takechunk(c, c.trees.size(), c.failed ? c.namesbefore : c.species.names.size(), gtree);
      leftoutsmall += c.small;
      return c.failed ? c.failat : c.next;
    }
    size_t q = readnewick(in, p, true, t);
    if (t.small)
      leftoutsmall++;
    else
      gtree.push_back(genetree(t));
    return q;
  });
  for (; k < chunks.size(); k++) dropchunk(chunks[k]);
}

}  // namespace

bool readsasnewick(const char* text) {
  InputText in;
  in.text = text;
  in.size = strlen(text);
  in.option = "-g";
  NewickTree t;
  const bool was = quietparse;
  quietparse = true;
  bool ok = true;
  try {
    size_t p = readnewick(in, 0, true, t);
    while (p < in.size && (isinputblank(in.text[p]) || in.text[p] == '\n')) p++;
    ok = p == in.size;
  } catch (QuietFailure&) {
    ok = false;
  }
  quietparse = was;
  return ok;
}

std::string newicklabel(const std::string& name) {
  if (islabelname(name)) return name;
  std::string q = "'";
  for (char c : name) q += c == '\'' ? "''" : std::string(1, c);
  return q + "'";
}

static NewickTree postfixtree(const std::vector<int>& post, bool gene) {
  static const InputText none{"", 0, "", "a tree built by the program"};
  NewickTree t;
  t.in = &none;
  t.gene = gene;
  t.byspecies = true;
  int depth = 0;
  for (int x : post) depth += x == POSTJOIN ? -1 : 1;
  for (size_t i = 0; i < post.size(); i++) {
    NewickItem it{};
    if (post[i] == POSTJOIN) {
      // A gene tree's last join is its top edge.
      it.kind = gene && i + 1 == post.size() ? NewickItem::TOPCLOSE : NewickItem::CLOSE;
    } else {
      it.kind = NewickItem::LEAF;
      it.label = static_cast<size_t>(post[i]);
      t.leaves++;
    }
    t.items.push_back(it);
  }
  if (depth != 1 || t.leaves < (gene ? 3 : 1))
    fatal("Cannot build a tree of " + std::to_string(t.leaves) + " leaves from its postorder");
  return t;
}

RootedTree* speciestreeof(const std::vector<int>& post) {
  return new RootedTree(postfixtree(post, false));
}

UnrootedTree* genetreeof(const std::vector<int>& post) {
  return new UnrootedTree(postfixtree(post, true));
}

std::vector<int> postorderof(const RootedTree& S) {
  std::vector<int> post;
  post.reserve(S.total);
  // Explicit stack: a caterpillar of thousands of species is too deep for recursion.
  std::vector<std::pair<short, bool>> st{{S.root, false}};
  while (!st.empty()) {
    auto [v, done] = st.back();
    st.pop_back();
    if (v < S.leaves) {
      post.push_back(S.lab[v]);
    } else if (done) {
      post.push_back(POSTJOIN);
    } else {
      st.push_back({v, true});
      st.push_back({S.son[v], false});
      st.push_back({S.son[v - S.leaves], false});
    }
  }
  return post;
}

RootedTree* newickspeciestext(char* text, const char* source) {
  return optiontree<RootedTree>(text, false, source);
}

RootedTree* newickspeciestree(char* text) {
  if (strstr(text, ".raw")) return new RootedTree(text);
  return optiontree<RootedTree>(text, false, "-s");
}

UnrootedTree* newickgenetree(char* text) { return optiontree<UnrootedTree>(text, true, "-g"); }

void readnewickstrees(const char* fname, std::vector<RootedTree*>& stree) {
  NewickTree t;
  readnewicklist(fname, "-S", [&](const InputText& in, size_t p) {
    size_t end = p;
    while (end < in.size && in.text[end] != '\n') end++;
    std::string line(in.text + p, end - p);
    if (in.text[p] != '(' && line.find(".raw") != std::string::npos) {
      while (!line.empty() && isinputblank(line.back())) line.pop_back();
      stree.push_back(new RootedTree(&line[0]));
      return end;
    }
    size_t q = readnewick(in, p, false, t);
    stree.push_back(newickspecies(t));
    return q;
  });
}

int newickgeneline(const char* fname, size_t k) {
  InputFile buf;
  InputText in;
  in.option = "-G";
  readinputfile(fname, buf, in);
  NewickTree t;
  int line = 0;
  size_t kept = 0;
  readnewickfrom(in, 0, [&](const InputText& in, size_t p) {
    size_t q = readnewick(in, p, true, t);
    if (!t.small && kept++ == k) {
      line = inputline(in, p);
      return in.size;
    }
    return q;
  });
  return line;
}

void readnewickgtrees(const char* fname, std::vector<UnrootedTree*>& gtree) {
  if (threadcount() > 1) {
    readnewickgchunks(fname, gtree);
    return;
  }
  NewickTree t;
  readnewicklist(fname, "-G", [&](const InputText& in, size_t p) {
    size_t q = readnewick(in, p, true, t);
    if (t.small)
      leftoutsmall++;
    else
      gtree.push_back(genetree(t));
    return q;
  });
}
