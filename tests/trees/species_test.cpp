#include "trees/species.h"

#include "io/genemap.h"
#include "tests/isolated.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string name(int id) { return specnames[id]; }

// Runs the extraction rule on a label with the given mode and restores the setting.
std::string extract(int mode, const char* delim, int pos, const char* label) {
  int oldid = gsid, oldpos = gspos;
  char* olddelim = gsdelim;
  gsid = mode;
  gspos = pos;
  std::string d = delim ? delim : "";
  gsdelim = delim ? &d[0] : nullptr;
  // A label inside a longer text: the rule must never look past its end.
  std::string text = std::string(label) + "_zz_tail)";
  int id = gsextract(&text[0], static_cast<int>(strlen(label)));
  gsid = oldid;
  gspos = oldpos;
  gsdelim = olddelim;
  return name(id);
}

TEST(Registry, SameNameSameIdAndCaseMatters) {
  char b[] = "regB", a[] = "regA", b2[] = "regBxyz";
  int ib = getspecies(b, 0);
  int ia = getspecies(a, 0);
  EXPECT_EQ(ia, ib + 1);
  EXPECT_EQ(getspecies(b2, 4), ib);
  EXPECT_STREQ(b2, "regBxyz");  // the buffer is left as it was
  char lower[] = "rega";
  EXPECT_NE(getspecies(lower, 0), ia);
  EXPECT_EQ(specnames2id.at("regA"), ia);
  EXPECT_EQ(specnames.size(), specnames2id.size());
}

TEST(Extraction, PositionRule) {
  EXPECT_EQ(extract(1, nullptr, 3, "abcdef"), "abc");
  EXPECT_EQ(extract(1, nullptr, -2, "abcdef"), "ef");
  EXPECT_EQ(extract(1, nullptr, 6, "abcdef"), "abcdef");
  EXPECT_EQ(extract(1, nullptr, -6, "abcdef"), "abcdef");
  EXPECT_EQ(extract(1, nullptr, -60, "abcdef"), "abcdef");
  EXPECT_EQ(extract(1, nullptr, 0, "abcdef"), "abcdef");
}

TEST(Extraction, DelimiterRules) {
  EXPECT_EQ(extract(3, "_", 0, "g1_sp_x"), "g1");
  EXPECT_EQ(extract(2, "_", 0, "g1_sp_x"), "sp");
  EXPECT_EQ(extract(2, "_", 0, "g1_sp"), "sp");
  // The empty name stays out of this process: trees cannot be built over it.
  isolated([] { EXPECT_EQ(extract(2, "_", 0, "g1_"), ""); });
  EXPECT_EQ(extract(2, "::", 0, "g::HUMAN::7"), "HUMAN");
  EXPECT_EQ(extract(3, "ab", 0, "xxabyyab"), "xx");
}

TEST(Extraction, MissingOrEmptySpeciesStops) {
  EXPECT_EXIT(extract(3, "_", 0, "nodelim"), testing::ExitedWithCode(255),
              "No species name found in nodelim");
  EXPECT_EXIT(extract(2, "_", 0, "nodelim"), testing::ExitedWithCode(255),
              "No species name found in nodelim");
  EXPECT_EXIT(extract(3, "_", 0, "_lead"), testing::ExitedWithCode(255),
              "No species name found in _lead");
  EXPECT_EXIT(extract(2, "_", 0, "a__b"), testing::ExitedWithCode(255),
              "No species name found in a__b");
  // The label ends before "_zz_tail": the delimiter after it must not be found.
  EXPECT_EXIT(extract(2, "_", 0, "abc"), testing::ExitedWithCode(255), "found in abc\n");
}

}  // namespace

namespace {

TEST(Registry, AtMost32767Species) {
  auto fill = [] {
    for (int i = 0; i <= MAXSPECIES; i++) registerspecies("many" + std::to_string(i));
  };
  EXPECT_EXIT(fill(), testing::ExitedWithCode(255), "Too many species");
}

}  // namespace
