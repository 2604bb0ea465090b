#include "driver/sprdefaults.h"

#include <gtest/gtest.h>

// The sizes of the data sets the rule was measured on.
TEST(SprDefaults, ManyStartsOnSmallData) {
  const SprDefaults d = sprdefaultsfor(16, 247, -1);  // guigo16
  EXPECT_EQ(d.greedy, 24);
  EXPECT_EQ(d.consensus, 0);
  EXPECT_FALSE(d.fuse);
  EXPECT_EQ(d.steps, 0);
  EXPECT_FALSE(d.priced);
  // A time limit does not change what small data get.
  const SprDefaults t = sprdefaultsfor(16, 247, 600);
  EXPECT_EQ(t.greedy, 24);
  EXPECT_FALSE(t.fuse);
}

TEST(SprDefaults, FewerStartsAsTheWorkGrows) {
  int before = 24;
  for (long long leaves = 100; leaves < 100000000; leaves *= 3) {
    const SprDefaults d = sprdefaultsfor(30, leaves, -1);
    EXPECT_LE(d.greedy, before);
    EXPECT_GE(d.greedy, 1);
    EXPECT_FALSE(d.fuse);
    before = d.greedy;
  }
  EXPECT_EQ(before, 1);
}

TEST(SprDefaults, OneStartOnLargeDataWithoutLimit) {
  const SprDefaults d = sprdefaultsfor(25, 40520, -1);  // treefam25
  EXPECT_EQ(d.greedy, 1);
  EXPECT_FALSE(d.fuse);
  EXPECT_TRUE(d.priced);
  const SprDefaults p = sprdefaultsfor(83, 1294695, -1);  // plants83
  EXPECT_EQ(p.greedy, 1);
  EXPECT_FALSE(p.fuse);
  EXPECT_EQ(p.steps, 0);
}

TEST(SprDefaults, FusedStartsWhenTheLimitAllows) {
  const SprDefaults p = sprdefaultsfor(83, 1294695, 600);  // plants83, ten minutes
  EXPECT_EQ(p.greedy, 22);
  EXPECT_TRUE(p.fuse);
  EXPECT_FALSE(p.priced);
  const SprDefaults shortlimit = sprdefaultsfor(83, 1294695, 30);
  EXPECT_EQ(shortlimit.greedy, 1);
  EXPECT_FALSE(shortlimit.fuse);
  const SprDefaults longlimit = sprdefaultsfor(83, 1294695, 36000);
  EXPECT_EQ(longlimit.greedy, 24);
  EXPECT_TRUE(longlimit.fuse);
}

// Beyond 300 species: a stepwise start when it likely takes at most half the limit (600 s
// without one), a quasi-consensus start otherwise.
TEST(SprDefaults, ConsensusStartWhenAStepwiseStartWouldNotFit) {
  for (double limit : {-1.0, 300.0, 600.0}) {
    const SprDefaults d = sprdefaultsfor(1000, 4400000, limit);  // about 90 s a start
    EXPECT_EQ(d.consensus, 0);
    EXPECT_EQ(d.greedy, 1);
    EXPECT_FALSE(d.fuse);
    EXPECT_TRUE(d.priced);
  }
  const SprDefaults tight = sprdefaultsfor(1000, 4400000, 60);
  EXPECT_EQ(tight.consensus, 1);
  EXPECT_EQ(tight.greedy, 0);
  EXPECT_EQ(sprdefaultsfor(5000, 40000000, -1).consensus, 1);
  EXPECT_EQ(sprdefaultsfor(5000, 40000000, 36000).consensus, 0);
  EXPECT_EQ(sprdefaultsfor(300, 100000, -1).consensus, 0);
}
