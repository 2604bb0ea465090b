#include "initial/randomtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "trees/rootedtree.h"
#include "trees/species.h"

namespace {

std::vector<short> register_(const std::string& prefix, int n) {
  std::vector<short> ids;
  for (int i = 0; i < n; i++)
    ids.push_back(static_cast<short>(registerspecies(prefix + std::to_string(i))));
  return ids;
}

std::unique_ptr<RootedTree> tree(const std::string& text) {
  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  return std::make_unique<RootedTree>(buf.data());
}

}  // namespace

TEST(RandomTree, TextJoinsEveryNameOnce) {
  srand(1);
  std::vector<short> ids = register_("rtn", 12);
  EXPECT_EQ(genrandomtree(ids.data(), 0), "");
  EXPECT_EQ(genrandomtree(ids.data(), 1), "rtn0");
  for (int n = 2; n <= 12; n++)
    for (int round = 0; round < 20; round++) {
      std::string text = genrandomtree(ids.data(), n);
      EXPECT_EQ(std::count(text.begin(), text.end(), '('), n - 1);
      EXPECT_EQ(std::count(text.begin(), text.end(), ')'), n - 1);
      EXPECT_EQ(std::count(text.begin(), text.end(), ','), n - 1);
      auto t = tree(text);
      ASSERT_EQ(t->leaves, n);
      EXPECT_EQ(t->internal, n - 1);
      std::vector<short> labs(t->lab, t->lab + n), want(ids.begin(), ids.begin() + n);
      std::sort(labs.begin(), labs.end());
      EXPECT_EQ(labs, want);
      std::ostringstream s;
      t->print(s);
      EXPECT_EQ(s.str(), text);
    }
}

TEST(RandomTree, PairsAreDrawnUniformly) {
  srand(1);
  std::vector<short> ids = register_("rtu", 3);
  std::map<std::string, int> seen;
  for (int k = 0; k < 3000; k++) seen[genrandomtree(ids.data(), 2)]++;
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_GT(seen["(rtu0,rtu1)"], 1300);
  EXPECT_GT(seen["(rtu1,rtu0)"], 1300);
  // Three species: each of the three rooted shapes about a third of the time.
  std::map<char, int> odd;
  for (int k = 0; k < 3000; k++) {
    std::string t = genrandomtree(ids.data(), 3);
    // The species joined last, at the root, is the one outside the inner pair.
    for (char c : {'0', '1', '2'})
      if (t.find(std::string("rtu") + c + ")") == t.size() - 5 ||
          t.substr(1, 4) == std::string("rtu") + c)
        odd[c]++;
  }
  for (char c : {'0', '1', '2'}) EXPECT_GT(odd[c], 800) << c;
}

TEST(RandomTree, SpeciesTreeCoversEveryRegisteredSpecies) {
  srand(1);
  register_("rts", 5);
  for (int k = 0; k < 5; k++) {
    std::unique_ptr<RootedTree> t(randspeciestree());
    ASSERT_EQ(t->leaves, static_cast<int>(specnames.size()));
    std::vector<short> labs(t->lab, t->lab + t->leaves);
    std::sort(labs.begin(), labs.end());
    for (int i = 0; i < t->leaves; i++) EXPECT_EQ(labs[i], i);
  }
}
