// The call's small lists: what is inside and what moves to the heap stays in
// order and contiguous, sized lists start cleared, and owned texts survive the move.
#include <gtest/gtest.h>

#include <string>

#include "com/small_list.h"

namespace orv::com {
namespace {

TEST(SmallList, GrowingPastItsRoomKeepsOrderAndOneBlock) {
  SmallList<int, 4> list;
  EXPECT_TRUE(list.empty());
  for (int k = 0; k < 11; ++k) EXPECT_EQ(list.push_back(k * 3), k * 3);
  ASSERT_EQ(list.size(), 11u);
  const int* block = list.data();
  for (int k = 0; k < 11; ++k) {
    EXPECT_EQ(list[static_cast<std::size_t>(k)], k * 3);
    EXPECT_EQ(&list[static_cast<std::size_t>(k)], block + k);   // handed over as one array
  }
  EXPECT_EQ(list.back(), 30);
}

TEST(SmallList, SizedListsStartClearedInsideAndOnTheHeap) {
  // A fresh sized list never shows what the one before it (most likely in
  // the same place) left behind.
  for (std::size_t count : {4u, 1u, 3u, 0u, 5u, 9u, 4u}) {
    SmallList<long long, 4> sized(count);
    ASSERT_EQ(sized.size(), count);
    for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(sized[k], 0) << count << " " << k;
    if (count) {
      EXPECT_EQ(&sized[count - 1], sized.data() + count - 1);
    }
    for (std::size_t k = 0; k < count; ++k) sized[k] = -1;
  }
}

TEST(SmallList, TextsMoveIntact) {
  SmallList<std::string, 2> names;
  const std::string longText(100, 'x');   // past any in-place text
  names.push_back("a");
  names.push_back(longText);
  names.push_back("");
  names.push_back("d");
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0], "a");
  EXPECT_EQ(names[1], longText);
  EXPECT_EQ(names[2], "");
  EXPECT_EQ(names[3], "d");
}

}  // namespace
}  // namespace orv::com
