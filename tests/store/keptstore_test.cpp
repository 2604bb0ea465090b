#include "store/keptstore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Costing the kept trees again, cheapest first: with time for two of them, those two take
// their new costs and order, the rest are dropped, and the optimum counts over what is kept;
// a tree met before and not kept is kept when a lower cost earns it a place.
TEST(KeptStore, RecostKeepsWhatTimeAllowsAndLowerOrKeepTakesBackEvicted) {
  KeptStore store(3);
  KeptStore::Entry* entry = nullptr;
  for (uint64_t i = 0; i < 5; i++)
    store.add(Fingerprint{0, i}, 10.0 + static_cast<double>(i),
              [&](std::vector<short>& enc) { enc = {static_cast<short>(i)}; }, entry);
  ASSERT_EQ(store.trees().size(), 3u);  // 10, 11, 12; 13 and 14 met but not kept
  store.lowerorkeep(Fingerprint{0, 4}, 9.0, {4}, entry);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(store.optimal(), 9.0);
  ASSERT_EQ(store.trees().size(), 3u);  // 9, 10, 11
  int asked = 0;
  store.recost([](const std::vector<short>& enc) { return 20.0 - enc[0]; },
               [&]() { return ++asked < 2; });
  ASSERT_EQ(store.trees().size(), 2u);
  EXPECT_EQ(store.trees().begin()->first, 16.0);  // tree 4 at 16, tree 0 at 20
  EXPECT_EQ(store.trees().rbegin()->first, 20.0);
  EXPECT_EQ(store.optimal(), 16.0);
  EXPECT_EQ(store.optcount(), 1);
}

}  // namespace
