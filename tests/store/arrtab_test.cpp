#include "store/arrtab.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "tests/randomtrees.h"
#include "trees/rootedtree.h"
#include "trees/species.h"
#include "tests/filetext.h"

namespace {

std::vector<short> encodetext(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  RootedTree t(buf.data());
  std::vector<short> v(t.reprlen());
  t.repr(v.data());
  return v;
}

int add(ArrTab& tab, std::vector<short>& e, double cost, TreeRepr*& out) {
  return tab.add(e.data(), static_cast<int>(e.size()), cost, out);
}

}  // namespace

TEST(ArrTab, ResultCodesCountersAndPrintedOrder) {
  const char* texts[] = {"((sta,stb),(stc,std))", "((sta,stc),(stb,std))", "((sta,std),(stb,stc))",
                         "(sta,(stb,(stc,std)))", "(stb,(sta,(stc,std)))"};
  std::vector<std::vector<short>> e;
  for (const char* t : texts) e.push_back(encodetext(t));
  ArrTab tab;
  TreeRepr* out = nullptr;
  EXPECT_EQ(tab.getwaiting(0), nullptr);
  EXPECT_EQ(add(tab, e[0], 10, out), 3);
  EXPECT_EQ(tab.optcnt, 1);
  EXPECT_EQ(tab.optimal(), 10);
  TreeRepr* first = out;
  EXPECT_FALSE(first->expanded);
  EXPECT_NE(first->arr, e[0].data());  // the store keeps its own copy
  int codes[] = {add(tab, e[1], 10, out), add(tab, e[2], 8, out), add(tab, e[3], 8, out),
                 add(tab, e[4], 9, out)};
  EXPECT_EQ(std::vector<int>(codes, codes + 4), (std::vector<int>{2, 3, 2, 1}));
  EXPECT_EQ(tab.optimal(), 8);
  EXPECT_EQ(tab.optcnt, 2);
  EXPECT_EQ(tab.cnt, 5);

  // A repeat changes nothing and hands back the stored entry.
  EXPECT_EQ(add(tab, e[0], 10, out), 0);
  EXPECT_EQ(out, first);
  EXPECT_EQ(tab.cnt, 5);
  // The same tree under another cost is another entry.
  EXPECT_EQ(add(tab, e[0], 12.5, out), 1);
  EXPECT_NE(out, first);
  EXPECT_EQ(tab.cnt, 6);

  std::ostringstream s;
  s << tab;
  EXPECT_EQ(s.str(),
            "8 ((sta,std),(stb,stc))\n"
            "8 (sta,(stb,(stc,std)))\n"
            "9 ((sta,(stc,std)),stb)\n"
            "10 ((sta,stb),(stc,std))\n"
            "10 ((sta,stc),(stb,std))\n"
            "12.5 ((sta,stb),(stc,std))\n");
  std::ostringstream empty;
  ArrTab none;
  empty << none;
  EXPECT_EQ(empty.str(), "");
}

TEST(ArrTab, FirstTreeIsBestWhateverItsCost) {
  std::vector<short> e = encodetext("(fta,ftb)");
  TreeRepr* out;
  for (double c : {1e300, std::numeric_limits<double>::infinity(), -5.0, 1e17}) {
    ArrTab tab;
    EXPECT_EQ(add(tab, e, c, out), 3) << c;
    EXPECT_EQ(tab.optimal(), c);
    EXPECT_EQ(tab.optcnt, 1);
  }
  ArrTab tab;
  EXPECT_EXIT(add(tab, e, std::nan(""), out), testing::ExitedWithCode(255),
              "Tree cost is not a number");
}

TEST(ArrTab, WaitingQueueServesACheapestTree) {
  std::vector<short> a = encodetext("((wqa,wqb),wqc)"), b = encodetext("((wqa,wqc),wqb)"),
                     c = encodetext("((wqb,wqc),wqa)");
  ArrTab tab;
  TreeRepr *ra, *rb, *rc;
  add(tab, a, 5, ra);
  add(tab, b, 3, rb);
  add(tab, c, 4, rc);
  tab.add2waiting(ra);
  tab.add2waiting(rb);
  tab.add2waiting(rc);
  tab.add2waiting(rb);  // queued twice: no check for repeats
  EXPECT_EQ(tab.getwaiting(0), rb);
  EXPECT_EQ(tab.getwaiting(0), rb);
  EXPECT_EQ(tab.getwaiting(1), rb);
  EXPECT_EQ(tab.getwaiting(1), rb);
  EXPECT_EQ(tab.getwaiting(1), rc);
  EXPECT_EQ(tab.getwaiting(1), ra);
  EXPECT_EQ(tab.getwaiting(1), nullptr);
  EXPECT_EQ(tab.getwaiting(0), nullptr);
}

// Against a plain list of everything stored: same answers, same entries, same counters.
TEST(ArrTab, HashedLookupAgreesWithALinearScan) {
  std::mt19937 rng(5);
  auto names = speciesnames(6, "hl");
  std::vector<std::vector<short>> pool;
  for (int i = 0; i < 400; i++) pool.push_back(encodetext(randomrootedtext(rng, names)));
  // Arbitrary arrays too, of several lengths, so that equal hashes of unequal data and
  // unequal lengths are exercised.
  for (int i = 0; i < 400; i++) {
    std::vector<short> v(1 + rng() % 4);
    for (short& x : v) x = static_cast<short>(rng() % 3);
    pool.push_back(v);
  }
  struct Ref {
    std::vector<short> enc;
    double cost;
    TreeRepr* entry;
  };
  std::vector<Ref> ref;
  ArrTab tab;
  double best = 0;
  int bestcnt = 0;
  for (int step = 0; step < 6000; step++) {
    std::vector<short>& e = pool[rng() % pool.size()];
    double cost = (rng() % 4) * 0.5;
    TreeRepr* out = nullptr;
    int code = add(tab, e, cost, out);
    Ref* found = nullptr;
    for (Ref& r : ref)
      if (r.cost == cost && r.enc == e) found = &r;
    if (found) {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(out, found->entry);
      continue;
    }
    ASSERT_NE(code, 0);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(std::equal(e.begin(), e.end(), out->arr));
    EXPECT_EQ(out->len, static_cast<int>(e.size()));
    int want = ref.empty() || cost < best ? 3 : cost == best ? 2 : 1;
    EXPECT_EQ(code, want);
    if (want == 3) best = cost, bestcnt = 0;
    if (cost == best) bestcnt++;
    ref.push_back({e, cost, out});
  }
  EXPECT_EQ(tab.cnt, static_cast<int>(ref.size()));
  EXPECT_EQ(tab.optcnt, bestcnt);
  EXPECT_EQ(tab.optimal(), best);
  // Printed bucket by bucket, each in the order stored.
  std::ostringstream want, got;
  for (double c = 0; c < 2; c += 0.5)
    for (Ref& r : ref)
      if (r.cost == c) want << c << " " << *r.entry << "\n";
  got << tab;
  EXPECT_EQ(got.str(), want.str());
}

namespace {

// Runs in a fresh directory and leaves the test's working directory as it was.
class ArrTabSave : public testing::Test {
 protected:
  std::string olddir, dir;
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    olddir = cwd;
    char tmpl[] = "/tmp/kvsaveXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(olddir.c_str()), 0);
    std::string cmd = "rm -rf " + dir;
    EXPECT_EQ(system(cmd.c_str()), 0);
  }
  static std::string stamp(time_t t) {
    char buf[80];
    strftime(buf, sizeof buf, "%Y%m%d.%H%M%S", localtime(&t));
    return buf;
  }
  static std::string save(ArrTab& tab) {
    testing::internal::CaptureStdout();
    tab.save();
    std::string line = testing::internal::GetCapturedStdout();
    EXPECT_EQ(line.substr(line.size() - 7), " saved\n");
    return line.substr(0, line.size() - 7);
  }
};

}  // namespace

TEST_F(ArrTabSave, WritesTheStoreAndNeverAnotherRunsFile) {
  std::vector<short> a = encodetext("((sva,svb),svc)"), b = encodetext("((sva,svc),svb)");
  ArrTab tab;
  TreeRepr* out;
  add(tab, a, 7, out);

  // Another run's files for this second and the next few, also at the first counter: they
  // must survive.
  time_t now = time(nullptr);
  std::vector<std::string> foreign;
  for (int k = 0; k < 5; k++)
    for (std::string suffix : {".kv.txt", ".2.kv.txt"}) {
      foreign.push_back(stamp(now + k) + suffix);
      std::ofstream(foreign.back()) << "other run\n";
    }
  std::string name = save(tab);
  EXPECT_EQ(name.substr(name.size() - 9), ".3.kv.txt") << name;
  EXPECT_EQ(slurp(name), "7 ((sva,svb),svc)\n");

  // This run replaces what it wrote itself, also from another store; within the seconds
  // taken by the other run it never falls back to their names.
  add(tab, b, 6, out);
  std::string again = save(tab);
  EXPECT_EQ(again.substr(again.size() - 9), ".3.kv.txt") << again;
  EXPECT_EQ(slurp(again), "6 ((sva,svc),svb)\n7 ((sva,svb),svc)\n");
  ArrTab other;
  add(other, b, 1, out);
  std::string third = save(other);
  EXPECT_EQ(third.substr(third.size() - 9), ".3.kv.txt") << third;
  EXPECT_EQ(slurp(third), "1 ((sva,svc),svb)\n");
  for (auto& f : foreign) EXPECT_EQ(slurp(f), "other run\n") << f;
}

TEST_F(ArrTabSave, PlainNameWhenFreeAndUnwritableDirectoryIsFatal) {
  ArrTab tab;
  std::string name = save(tab);
  EXPECT_EQ(name.size(), std::string("20261207.101500.kv.txt").size());
  EXPECT_EQ(name.substr(name.size() - 7), ".kv.txt");
  EXPECT_EQ(slurp(name), "");
  // No directory to write into, even for root: the run ends naming the file, and no
  // "saved" line claims it.
  ASSERT_EQ(chdir(".."), 0);
  std::string gone = dir + "/gone";
  ASSERT_EQ(mkdir(gone.c_str(), 0700), 0);
  ASSERT_EQ(chdir(gone.c_str()), 0);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  EXPECT_EXIT(tab.save(), testing::ExitedWithCode(255),
              "^Cannot write [0-9]{8}\\.[0-9]{6}\\.kv\\.txt: No such file or directory\n$");
}

// A comparison or hash that stopped one entry short would take these for one tree.
TEST(ArrTab, EncodingsThatDifferOnlyInTheirLastEntryAreTwoTrees) {
  std::vector<short> e = encodetext("((lea,leb),lec)"), f = e;
  f.back() = static_cast<short>(-f.back());
  const int len = static_cast<int>(e.size());
  TreeRepr r(e.data(), len, 3);
  EXPECT_EQ(r.eq(e.data(), len, 3), 1);
  EXPECT_EQ(r.eq(f.data(), len, 3), 0);
  ArrTab tab;
  TreeRepr* out = nullptr;
  EXPECT_EQ(add(tab, e, 3, out), 3);
  EXPECT_EQ(add(tab, f, 3, out), 2);
  EXPECT_EQ(tab.cnt, 2);
  EXPECT_EQ(tab.optcnt, 2);
}
