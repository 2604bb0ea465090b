#include <gtest/gtest.h>

#include "io/tokenizer.h"

namespace {

TEST(LeafCount, CountsStretchesWithALetter) {
  EXPECT_EQ(lfnum("((a,b),c)"), 3);
  EXPECT_EQ(lfnum("(a,b,c)"), 3);
  EXPECT_EQ(lfnum("(1,(a,b))"), 2);       // digits only: not counted
  EXPECT_EQ(lfnum("((a,b)x,c)"), 4);      // an inner label is counted
  EXPECT_EQ(lfnum("(a1,2b,c_3)"), 3);
  EXPECT_EQ(lfnum(""), 0);
  // Letters inside a branch length are not a leaf.
  EXPECT_EQ(lfnum("((a:1e-05,b):2E-3,(c,d)):1e-3"), 4);
  EXPECT_EQ(lfnum("(a:0.1,b:1e5,c:inf)"), 3);
}

}  // namespace
