#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/reconoutputs.h"
#include "io/newick.h"
#include "output/eventfiles.h"
#include "output/reconciledfiles.h"
#include "output/reconciliation.h"
#include "tests/output/slowoutput.h"
#include "tests/randomtrees.h"
#include "tests/reconcile/slowrecon.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "trees/unrootedtree.h"

namespace {

// Just enough XML for the files written here: elements, attributes, text; no entities.
struct Element {
  std::string tag, text;
  std::map<std::string, std::string> attr;
  std::vector<Element> kids;
  std::vector<const Element*> all(const std::string& t) const {
    std::vector<const Element*> v;
    for (const Element& k : kids)
      if (k.tag == t) v.push_back(&k);
    return v;
  }
};

Element readxml(const std::string& s, size_t& i) {
  Element e;
  size_t end = s.find_first_of(" />", i + 1);
  e.tag = s.substr(i + 1, end - i - 1);
  i = end;
  while (s[i] == ' ') {
    size_t eq = s.find('=', i), close = s.find('"', eq + 2);
    e.attr[s.substr(i + 1, eq - i - 1)] = s.substr(eq + 2, close - eq - 2);
    i = close + 1;
  }
  if (s.compare(i, 2, "/>") == 0) {
    i += 2;
    return e;
  }
  i++;
  while (true) {
    size_t lt = s.find('<', i);
    e.text += s.substr(i, lt - i);
    i = lt;
    if (s[i + 1] == '/') break;
    e.kids.push_back(readxml(s, i));
  }
  EXPECT_EQ(s.substr(i, e.tag.size() + 3), "</" + e.tag + ">");
  i += e.tag.size() + 3;
  return e;
}

struct Collection {
  std::string s;
  std::unique_ptr<RootedTree> S;
  std::vector<std::unique_ptr<UnrootedTree>> owned;
  std::vector<UnrootedTree*> gtree;
  Collection(std::mt19937& rng) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 12, "rc");
    s = randomrootedtext(rng, sp);
    S.reset(new RootedTree(s.data()));
    for (int k = 1 + rng() % 5; k > 0; k--) {
      std::vector<std::string> drawn(sp.begin(), sp.begin() + 1 + rng() % sp.size());
      std::string g = randomgenetext(rng, drawn, 3 + rng() % 16);
      owned.emplace_back(new UnrootedTree(g.data()));
      gtree.push_back(owned.back().get());
    }
  }
  // -O's text of gene tree k (after reconciledtext has mapped it).
  std::string rooting(size_t k) {
    return rootingtext(*gtree[k], gtree[k]->findoptimal(*S));
  }
};

// Losses on the branch above node x, from the depths of the images: one per species node
// passed between the parent's image and x's, and one more below a duplication.
long lostabove(const SlowRec& r, RootedTree& S, int x) {
  int p = r.tree[x].parent;
  if (p < 0 || r.map[x] == r.map[p]) return 0;
  auto depth = [&](short y) {
    long d = 0;
    for (; y != S.root; y = S.parent[y]) d++;
    return d;
  };
  return depth(r.map[x]) - depth(r.map[p]) - 1 + (r.dup[p] ? 1 : 0);
}

TEST(Reconciled, NhxReadsBackAsTheRootingThatDashOPrints) {
  std::mt19937 rng(151);
  for (int round = 0; round < 60; round++) {
    Collection c(rng);
    std::istringstream in(reconciledtext(*c.S, c.gtree, false));
    std::vector<std::string> names = speciesnodenames(*c.S);
    std::string line;
    for (size_t k = 0; k < c.gtree.size(); k++) {
      ASSERT_TRUE(std::getline(in, line));
      std::vector<TextNode> t = readnewick(line);
      std::string text = c.rooting(k);
      ASSERT_EQ(plaintext(t, 0), text);
      SlowRec r = slowreconcile(text, *c.S);
      long losses = 0;
      for (size_t x = 0; x < t.size(); x++) {
        ASSERT_EQ(t[x].keys["S"], names[r.map[x]]) << line;
        if (t[x].kids.empty())
          ASSERT_EQ(t[x].keys.count("D"), 0u);
        else
          ASSERT_EQ(t[x].keys["D"], r.dup[x] ? "Y" : "N") << line;
        long lost = lostabove(r, *c.S, static_cast<int>(x));
        ASSERT_EQ(t[x].keys["L"], std::to_string(lost)) << line;
        losses += lost;
      }
      ASSERT_EQ(losses, c.gtree[k]->dlcost(*c.S, c.gtree[k]->findoptimal(*c.S)).loss);
    }
    ASSERT_FALSE(std::getline(in, line));
  }
}

// The event of a clade (its eventsRec holds exactly one).
const Element& eventof(const Element& x) {
  std::vector<const Element*> ev = x.all("eventsRec");
  EXPECT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0]->kids.size(), 1u);
  return ev[0]->kids.at(0);
}

// The clade x of a recGeneTree checked against the slow reconciliation's node k: first the
// speciations passed above k whose other side was lost, each a speciation clade holding the
// lineage that goes on and a loss clade, then k's own clade. Losses are summed.
void checkclade(const Element& x, const SlowRec& r, int k, RootedTree& S,
                const std::vector<std::string>& names, long& losses, std::string& text) {
  const TextNode& n = r.tree[k];
  std::vector<short> passed;  // speciations passed, latest first
  if (n.parent >= 0) {
    short top = r.map[n.parent];
    for (short y = r.map[k]; y != top; y = S.parent[y])
      if (S.parent[y] != top || r.dup[n.parent]) passed.push_back(y);
  }
  const Element* c = &x;
  for (size_t e = passed.size(); e-- > 0;) {
    short y = passed[e], z = S.parent[y];
    ASSERT_EQ(eventof(*c).tag, "speciation");
    ASSERT_EQ(eventof(*c).attr.at("speciesLocation"), names[z]);
    std::vector<const Element*> kids = c->all("clade");
    ASSERT_EQ(kids.size(), 2u);
    ASSERT_TRUE(c->all("branch_length").empty());
    ASSERT_EQ(eventof(*kids[1]).tag, "loss");
    ASSERT_EQ(eventof(*kids[1]).attr.at("speciesLocation"),
              names[S.son[z] == y ? S.son[z - S.leaves] : S.son[z]]);
    ASSERT_TRUE(kids[1]->all("clade").empty());
    c = kids[0];
  }
  losses += static_cast<long>(passed.size());
  const Element& last = eventof(*c);
  ASSERT_EQ(last.attr.at("speciesLocation"), names[r.map[k]]);
  std::vector<const Element*> kids = c->all("clade");
  if (n.kids.empty()) {
    ASSERT_EQ(last.tag, "leaf");
    ASSERT_TRUE(kids.empty());
    text += last.attr.at("geneName");
    return;
  }
  ASSERT_EQ(last.tag, r.dup[k] ? "duplication" : "speciation");
  ASSERT_EQ(kids.size(), 2u);
  text += "(";
  checkclade(*kids[0], r, n.kids[0], S, names, losses, text);
  text += ",";
  checkclade(*kids[1], r, n.kids[1], S, names, losses, text);
  text += ")";
}

std::string speciestext(const Element& clade) {
  std::vector<const Element*> kids = clade.all("clade");
  std::string name = clade.all("name")[0]->text;
  if (kids.empty()) return name;
  return "(" + speciestext(*kids[0]) + "," + speciestext(*kids[1]) + ")" + name;
}

TEST(Reconciled, RecPhyloXmlReadsBackAsTheSameReconciliation) {
  std::mt19937 rng(152);
  for (int round = 0; round < 40; round++) {
    Collection c(rng);
    RootedTree& S = *c.S;
    std::string xml = reconciledtext(S, c.gtree, true);
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    ASSERT_EQ(xml.compare(0, head.size(), head), 0);
    size_t i = head.size();
    Element doc = readxml(xml, i);
    ASSERT_EQ(xml.substr(i), "\n");
    ASSERT_EQ(doc.tag, "recPhylo");
    // The species tree with its node names, as the events NHX has it.
    const Element& sp = *doc.all("spTree")[0]->all("phylogeny")[0]->all("clade")[0];
    std::string nhx = std::regex_replace(eventsnhx(S, SpeciesEvents(S.total)),
                                         std::regex("\\[[^\\]]*\\]"), "");
    ASSERT_EQ(speciestext(sp) + ";\n", nhx);

    std::vector<const Element*> genes = doc.all("recGeneTree");
    ASSERT_EQ(genes.size(), c.gtree.size());
    std::vector<std::string> names = speciesnodenames(S);
    for (size_t k = 0; k < genes.size(); k++) {
      const Element* phy = genes[k]->all("phylogeny")[0];
      ASSERT_EQ(phy->attr.at("rooted"), "true");
      std::string rooting = c.rooting(k), text;
      long losses = 0;
      checkclade(*phy->all("clade")[0], slowreconcile(rooting, S), 0, S, names, losses, text);
      ASSERT_EQ(text, rooting);
      ASSERT_EQ(losses, c.gtree[k]->dlcost(S, c.gtree[k]->findoptimal(S)).loss);
    }
  }
}

// A gene tree text made unique (leaf labels SPECIES_gK, read with -l b_) and dressed as
// inference programs write them: lengths on some branches, support values or names on some
// inner nodes (not on the top node, whose label names no edge).
std::string dress(std::mt19937& rng, const std::string& plain) {
  const char* lengths[] = {"0.5", "1.25", "2", "0.001", "3e-2", "0.1"};
  const char* labels[] = {"", "95", "0.95", "80/95", "100/100", "clade7"};
  std::string out;
  int leaf = 0;
  auto length = [&]() {
    if (rng() % 4) out += std::string(":") + lengths[rng() % 6];
  };
  for (size_t i = 0; i < plain.size(); i++) {
    char ch = plain[i];
    if (ch == '(' || ch == ',') {
      out += ch;
    } else if (ch == ')') {
      out += ch;
      if (i + 1 == plain.size()) break;
      out += labels[rng() % 6];
      length();
    } else {
      size_t end = plain.find_first_of(",()", i);
      out += plain.substr(i, end - i) + "_g" + std::to_string(leaf++);
      length();
      i = end - 1;
    }
  }
  return out + ";";
}

struct Edge {
  bool haslength = false;
  double length = 0;
  std::string label;
};

// The leaves below x, by label.
std::set<std::string> below(const std::vector<TextNode>& t, int x) {
  if (t[x].kids.empty()) return {t[x].name};
  std::set<std::string> out;
  for (int k : t[x].kids) {
    std::set<std::string> b = below(t, k);
    out.insert(b.begin(), b.end());
  }
  return out;
}

// An edge named by the side of it without the leaf first in order.
std::set<std::string> side(const std::vector<TextNode>& t, int x) {
  std::set<std::string> all = below(t, 0), b = below(t, x);
  if (!b.count(*all.begin())) return b;
  std::set<std::string> rest;
  std::set_difference(all.begin(), all.end(), b.begin(), b.end(),
                      std::inserter(rest, rest.begin()));
  return rest;
}

// What the text gives each edge of the unrooted tree: a top of two children is one edge, as
// long as both branches, with the first one's label if it has one.
std::map<std::set<std::string>, Edge> edgesoftext(const std::vector<TextNode>& t) {
  std::map<std::set<std::string>, Edge> edges;
  for (size_t x = 1; x < t.size(); x++) {
    Edge e;
    e.haslength = !t[x].length.empty();
    e.length = e.haslength ? strtod(t[x].length.c_str(), nullptr) : 0;
    if (!t[x].kids.empty()) e.label = t[x].name;
    auto [it, added] = edges.emplace(side(t, static_cast<int>(x)), e);
    if (added) continue;
    Edge& first = it->second;
    if (first.haslength && e.haslength) first.length += e.length;
    if (!first.haslength) first = Edge{e.haslength, e.length, first.label};
    if (first.label.empty()) first.label = e.label;
  }
  return edges;
}

// A recGeneTree as a rooted tree: a speciation clade holding a loss clade is a point on the
// branch below it, so the lineage that goes on takes its place. Inner names are the support
// values joined by '/' or the clade's name, "" for the generated names g0, g1, ...
void fromxml(const Element& x, int parent, std::vector<TextNode>& t) {
  std::vector<const Element*> kids = x.all("clade");
  if (kids.size() == 2 && kids[1]->all("eventsRec")[0]->kids[0].tag == "loss") {
    fromxml(*kids[0], parent, t);
    return;
  }
  int at = static_cast<int>(t.size());
  t.emplace_back();
  t[at].parent = parent;
  if (parent >= 0) t[parent].kids.push_back(at);
  std::string name = x.all("name")[0]->text;
  if (!kids.empty()) {
    std::string joined;
    for (const Element* c : x.all("confidence")) {
      EXPECT_EQ(c->attr.at("type"), "support");
      joined += (joined.empty() ? "" : "/") + c->text;
    }
    bool generated = std::regex_match(name, std::regex("g[0-9]+"));
    name = !joined.empty() ? joined : generated ? "" : name;
  }
  t[at].name = name;
  for (const Element* b : x.all("branch_length")) t[at].length = b->text;
  for (const Element* k : kids) fromxml(*k, at, t);
}

// Each branch of the rooted tree carries what the text gave its edge; the two branches below
// the root carry half the root's edge each, and its label both.
void samebranches(const std::vector<TextNode>& out,
                  const std::map<std::set<std::string>, Edge>& edges, const std::string& what) {
  ASSERT_TRUE(out[0].length.empty()) << what;
  for (size_t x = 1; x < out.size(); x++) {
    const Edge& e = edges.at(side(out, static_cast<int>(x)));
    ASSERT_EQ(out[x].length.empty(), !e.haslength) << what;
    if (e.haslength) {
      double want = out[x].parent == 0 ? e.length / 2 : e.length;
      ASSERT_EQ(strtod(out[x].length.c_str(), nullptr), want) << what;
    }
    if (!out[x].kids.empty()) {
      ASSERT_EQ(out[x].name, e.label) << what;
    }
  }
}

// Gene trees read with --newick and -l b_: the reconciled files carry their lengths and labels.
TEST(Reconciled, BranchLengthsAndSupportsFollowTheirEdges) {
  struct Rule {
    int id = gsid;
    char* delim = gsdelim;
    ~Rule() {
      gsid = id;
      gsdelim = delim;
    }
  } saved;
  gsid = 3;
  gsdelim = const_cast<char*>("_");
  std::mt19937 rng(153);
  for (int round = 0; round < 40; round++) {
    std::vector<std::string> sp = speciesnames(2 + rng() % 10, "rl");
    std::string st = randomrootedtext(rng, sp);
    RootedTree S(st.data());
    std::vector<std::string> texts;
    std::vector<std::unique_ptr<UnrootedTree>> owned;
    std::vector<UnrootedTree*> gtree;
    for (int k = 1 + rng() % 4; k > 0; k--) {
      texts.push_back(dress(rng, randomgenetext(rng, sp, 3 + rng() % 14)));
      std::string text = texts.back();
      owned.emplace_back(newickgenetree(text.data()));
      gtree.push_back(owned.back().get());
    }
    std::istringstream nhx(reconciledtext(S, gtree, false));
    std::string xml = reconciledtext(S, gtree, true);
    size_t i = xml.find("<recPhylo>");
    Element doc = readxml(xml, i);
    std::vector<const Element*> genes = doc.all("recGeneTree");
    ASSERT_EQ(genes.size(), texts.size());
    for (size_t k = 0; k < texts.size(); k++) {
      std::map<std::set<std::string>, Edge> edges = edgesoftext(readnewick(texts[k]));
      std::string line;
      ASSERT_TRUE(std::getline(nhx, line));
      samebranches(readnewick(line), edges, texts[k] + " -> " + line);
      std::vector<TextNode> fromfile;
      fromxml(*genes[k]->all("phylogeny")[0]->all("clade")[0], -1, fromfile);
      samebranches(fromfile, edges, texts[k] + " -> recPhyloXML");
    }
  }
}

}  // namespace

namespace {

TEST(Reconciled, NumberedFileNamesKeepTheExtension) {
  EXPECT_EQ(numberedname("rec.xml", 2), "rec.2.xml");
  EXPECT_EQ(numberedname("rec", 1), "rec.1");
  EXPECT_EQ(numberedname("out.d/rec", 3), "out.d/rec.3");
  EXPECT_EQ(numberedname("out/.rec", 3), "out/.rec.3");
  EXPECT_EQ(numberedname("a.b/rec.tar.nhx", 10), "a.b/rec.tar.10.nhx");
}

}  // namespace
