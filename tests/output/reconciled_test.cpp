#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/reconoutputs.h"
#include "output/eventfiles.h"
#include "output/reconciledfiles.h"
#include "output/reconciliation.h"
#include "tests/output/slowoutput.h"
#include "tests/reconcile/slowrecon.h"
#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
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
      for (size_t x = 0; x < t.size(); x++) {
        ASSERT_EQ(t[x].keys["S"], names[r.map[x]]) << line;
        if (t[x].kids.empty())
          ASSERT_EQ(t[x].keys.count("D"), 0u);
        else
          ASSERT_EQ(t[x].keys["D"], r.dup[x] ? "Y" : "N") << line;
      }
    }
    ASSERT_FALSE(std::getline(in, line));
  }
}

// The clade x of a recGeneTree checked against the slow reconciliation's node k, and its
// speciationLoss events summed into losses.
void checkclade(const Element& x, const SlowRec& r, int k, RootedTree& S,
                const std::vector<std::string>& names, long& losses, std::string& text) {
  const TextNode& n = r.tree[k];
  std::vector<Element> ev = x.all("eventsRec")[0]->kids;
  ASSERT_FALSE(ev.empty());
  const Element& last = ev.back();
  ASSERT_EQ(last.attr.at("speciesLocation"), names[r.map[k]]);
  std::vector<std::string> expected;  // speciations passed, latest first
  if (n.parent >= 0) {
    short top = r.map[n.parent];
    for (short y = r.map[k]; y != top; y = S.parent[y])
      if (S.parent[y] != top || r.dup[n.parent]) expected.insert(expected.begin(), names[S.parent[y]]);
  }
  ASSERT_EQ(ev.size(), expected.size() + 1);
  for (size_t e = 0; e + 1 < ev.size(); e++) {
    ASSERT_EQ(ev[e].tag, "speciationLoss");
    ASSERT_EQ(ev[e].attr.at("speciesLocation"), expected[e]);
  }
  losses += static_cast<long>(expected.size());
  std::vector<const Element*> kids = x.all("clade");
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
