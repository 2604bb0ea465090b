#include "store/treerepr.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "tests/randomtrees.h"
#include "trees/fatal.h"
#include "trees/rootedtree.h"
#include "trees/species.h"

namespace {

std::unique_ptr<RootedTree> tree(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return std::make_unique<RootedTree>(buf.data());
}

std::vector<short> encode(RootedTree& t) {
  std::vector<short> v(t.reprlen());
  t.repr(v.data());
  return v;
}

std::string reprtext(std::vector<short>& enc) {
  TreeRepr r(enc.data(), static_cast<int>(enc.size()), 0);
  return to_string(r);
}

std::string printed(RootedTree& t) {
  std::ostringstream s;
  t.print(s);
  return s.str();
}

short id(const std::string& name) { return static_cast<short>(specnames2id.at(name)); }

// From scratch: the clades of a rooted tree as sets of species names.
std::set<std::string> clade(RootedTree& t, short v, std::set<std::set<std::string>>& all) {
  std::set<std::string> s;
  if (v < t.leaves) {
    s.insert(specnames[t.lab[v]]);
  } else {
    s = clade(t, t.son[v - t.leaves], all);
    std::set<std::string> r = clade(t, t.son[v], all);
    s.insert(r.begin(), r.end());
  }
  all.insert(s);
  return s;
}

std::set<std::set<std::string>> clades(RootedTree& t) {
  std::set<std::set<std::string>> all;
  clade(t, t.root, all);
  return all;
}

// The same tree written with the children of random nodes swapped.
std::string shuffled(RootedTree& t, short v, std::mt19937& rng) {
  if (v < t.leaves) return specnames[t.lab[v]];
  std::string a = shuffled(t, t.son[v - t.leaves], rng), b = shuffled(t, t.son[v], rng);
  return rng() % 2 ? "(" + a + "," + b + ")" : "(" + b + "," + a + ")";
}

}  // namespace

TEST(TreeRepr, EncodesTheSmallExamples) {
  auto t = tree("((era,erb),erc)");
  short a = id("era"), b = id("erb"), c = id("erc");
  ASSERT_LT(a, b);
  ASSERT_LT(b, c);
  std::vector<short> want = {15000, 15000, static_cast<short>(-a), b, -15001, c, 15001};
  EXPECT_EQ(encode(*t), want);
  EXPECT_EQ(t->reprlen(), 7);
  EXPECT_EQ(reprtext(want), "((era,erb),erc)");

  // The child holding the smallest id comes first, whatever the stored order.
  auto u = tree("(erc,(erb,era))");
  EXPECT_EQ(encode(*u), want);

  auto two = tree("(erc,erb)");
  std::vector<short> twowant = {15000, static_cast<short>(-b), c, 15001};
  EXPECT_EQ(encode(*two), twowant);
  EXPECT_EQ(reprtext(twowant), "(erb,erc)");

  // A null buffer gives a new array of the caller's.
  short* fresh = u->repr(nullptr);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), fresh));
  delete[] fresh;

  TreeRepr r(want.data(), 7, 12.5);
  std::vector<short> other = encode(*u);
  EXPECT_EQ(r.eq(other.data(), 7, 12.5), 1);
  EXPECT_EQ(r.eq(other.data(), 7, 12), 0);
  EXPECT_EQ(r.eq(other.data(), 4, 12.5), 0);
  EXPECT_EQ(r.eq(other.data(), 7, std::nan("")), 0);
  other[2] = static_cast<short>(-b);
  EXPECT_EQ(r.eq(other.data(), 7, 12.5), 0);
  EXPECT_FALSE(r.expanded);
}

TEST(TreeRepr, EqualEncodingsExactlyForEqualTopologies) {
  std::mt19937 rng(7);
  auto names = speciesnames(6, "eq");
  for (int round = 0; round < 300; round++) {
    auto x = tree(randomrootedtext(rng, names));
    auto y = tree(randomrootedtext(rng, names));
    auto xs = tree(shuffled(*x, x->root, rng));
    std::vector<short> ex = encode(*x), ey = encode(*y);
    EXPECT_EQ(encode(*xs), ex);
    EXPECT_EQ(ex == ey, clades(*x) == clades(*y));
    // The text of the encoding is the tree itself.
    auto back = tree(reprtext(ex));
    EXPECT_EQ(clades(*back), clades(*x));
    EXPECT_EQ(reprtext(ex).size(), printed(*x).size());
  }
}

TEST(TreeRepr, ReplaceRebuildsTheEncodedTree) {
  std::mt19937 rng(11);
  auto names = speciesnames(9, "rp");
  for (int round = 0; round < 200; round++) {
    auto x = tree(randomrootedtext(rng, names));
    auto w = tree(randomrootedtext(rng, names));
    w->findlab(id("rp0"));  // fills the leaf cache, which the new labels must not reuse
    std::vector<short> ex = encode(*x);
    TreeRepr r(ex.data(), static_cast<int>(ex.size()), 3);
    w->replace(&r);

    EXPECT_EQ(encode(*w), ex);
    EXPECT_EQ(printed(*w), to_string(r));
    EXPECT_EQ(w->root, w->total - 1);
    EXPECT_EQ(w->parent[w->root], -1);
    EXPECT_EQ(w->son[w->leaves - 1], -1);
    // Leaves numbered in text order; parents, levels and the leaf cache agree with the shape.
    std::string text = to_string(r);
    size_t at = 0;
    for (short v = 0; v < w->leaves; v++) {
      const std::string& n = specnames[w->lab[v]];
      size_t found = text.find(n, at);
      ASSERT_NE(found, std::string::npos);
      at = found + n.size();
      EXPECT_EQ(w->findlab(w->lab[v]), v);
    }
    for (short v = w->leaves; v < w->total; v++) {
      short l = w->son[v - w->leaves], rr = w->son[v];
      EXPECT_EQ(w->parent[l], v);
      EXPECT_EQ(w->parent[rr], v);
      EXPECT_EQ(w->level[v], 1 + std::max(w->level[l], w->level[rr]));
    }
  }
}

TEST(TreeRepr, ReplaceRefusesAnEncodingOfFewerLeaves) {
  auto w = tree("(((rfa,rfb),rfc),rfd)");
  auto x = tree("((rfa,rfb),rfc)");
  std::vector<short> ex = encode(*x);
  TreeRepr r(ex.data(), static_cast<int>(ex.size()), 0);
  EXPECT_EXIT(w->replace(&r), testing::ExitedWithCode(255), "Cannot rebuild a species tree of 4");
  auto big = tree("((((rfa,rfb),rfc),rfd),rfe)");
  std::vector<short> eb = encode(*big);
  TreeRepr rb(eb.data(), static_cast<int>(eb.size()), 0);
  EXPECT_EXIT(w->replace(&rb), testing::ExitedWithCode(255), "Cannot rebuild a species tree of 4");
}

namespace {

struct DeepJob {
  RootedTree* t;
  std::vector<short> enc;
};

void* encodejob(void* arg) {
  auto* job = static_cast<DeepJob*>(arg);
  job->enc.resize(job->t->reprlen());  // allocated here; the walk itself must stay shallow
  job->t->repr(job->enc.data());
  return nullptr;
}

// Caterpillar of n leaves, deepest pair first: (((c0,c1),c2),...).
std::string caterpillar(int n) {
  std::string s(n - 1, '(');
  s += "dc0";
  for (int i = 1; i < n; i++) s += ",dc" + std::to_string(i) + ")";
  return s;
}

}  // namespace

// Run in a child process: 15000 new species would crowd the registry of every later test.
TEST(TreeRepr, DeepCaterpillarEncodesOnASmallStack) {
  auto run = [] {
    specnames.clear();  // this process only: ids 0 to 14999 for the 15000 leaves
    specnames2id.clear();
    auto t = tree(caterpillar(MAXLEAVES));
    DeepJob job{t.get(), {}};
    // A recursive walk needs a frame per level; 15000 levels do not fit in 256 KB.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t th;
    if (pthread_create(&th, &attr, encodejob, &job) != 0) kelvoraexit(2);
    pthread_join(th, nullptr);
    std::vector<short>& e = job.enc;
    bool ok = e.size() == 3u * MAXLEAVES - 2 && e[0] == 15000 && e.back() == 15001;
    // Species in registration order make the caterpillar its own canonical form.
    ok = ok && to_string(TreeRepr(e.data(), static_cast<int>(e.size()), 0)) == printed(*t);
    auto w = tree(caterpillar(MAXLEAVES));
    TreeRepr r(e.data(), static_cast<int>(e.size()), 0);
    w->replace(&r);
    ok = ok && encode(*w) == e;
    kelvoraexit(ok ? 0 : 1);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(0), "");
}

TEST(TreeRepr, RefusesSpeciesIdsThatCollideWithTheMarkers) {
  auto run = [] {
    while (specnames.size() <= REPROPEN) registerspecies("filler" + std::to_string(specnames.size()));
    std::string big = specnames[REPROPEN];
    auto t = tree("(mkfirst," + big + ")");
    t->repr(nullptr);
    kelvoraexit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(255),
              "Cannot encode a species tree with species id 15000: too many species");
}
