// The string heap's block layout is seen by hosts and extenders; these tests
// pin the layout, the coalescing and the growth path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/error_numbers.h"
#include "engine/heap.h"
#include "engine/messages.h"
#include "heap_fixture.h"
#include "platform/platform.h"

namespace orv {
namespace {

class HeapTest : public test_support::HeapFixture {
 protected:
  std::uint32_t word(std::uint32_t off) const { std::uint32_t w; std::memcpy(&w, base_ + off, 4); return w; }
  std::string tag(std::uint32_t off) const { return std::string(reinterpret_cast<char*>(base_ + off), 4); }
};

TEST_F(HeapTest, FreshHeapIsOneFreeBlockBehindTheHeader) {
  EXPECT_EQ(tag(0), "5678");
  EXPECT_EQ(word(8), 40u);
  EXPECT_EQ(tag(40), "QRST");
  EXPECT_EQ(word(44), kSize - 56);
  EXPECT_EQ(tag(40 + kSize - 56), "5678");   // end sentinel
  EXPECT_TRUE(heap_.verify());
}

TEST_F(HeapTest, BlockSizesLeaveRoomForThePayload) {
  EXPECT_EQ(StringHeap::block_size_for(0), 28u);
  EXPECT_EQ(StringHeap::block_size_for(12), 28u);
  EXPECT_EQ(StringHeap::block_size_for(13), 32u);
  EXPECT_EQ(StringHeap::block_size_for(17), 36u);
  for (std::uint32_t n = 0; n < 100; ++n) {
    const std::uint32_t size = StringHeap::block_size_for(n);
    EXPECT_GE(size - 16, n) << n;
    EXPECT_EQ(size % 4, 0u) << n;
  }
}

TEST_F(HeapTest, UsedBlocksAreCarvedFromTheTailAndTagged) {
  std::uint32_t h = heap_.alloc(10);
  ASSERT_NE(h, 0u);
  std::uint32_t block = h - 8;
  EXPECT_EQ(tag(block), "5678");
  EXPECT_EQ(word(block + 4), 28u);
  EXPECT_EQ(word(block + 20), 28u);
  EXPECT_EQ(tag(block + 24), "5678");
  EXPECT_EQ(block + 28, heap_.end_offset());
  std::memset(heap_.ptr(h), 'x', 12);   // the whole payload is usable
  EXPECT_TRUE(heap_.verify());
}

TEST_F(HeapTest, NeighboursCoalesceInEitherOrder) {
  for (int order = 0; order < 2; ++order) {
    // (Larger than the blocks kept for reuse, which merge only later.)
    std::uint32_t a = heap_.alloc(200), b = heap_.alloc(200), guard = heap_.alloc(200);
    ASSERT_TRUE(a && b && guard);
    const std::uint32_t before = heap_.bytes_in_use();
    if (order == 0) { heap_.free(a); heap_.free(b); }
    else { heap_.free(b); heap_.free(a); }
    EXPECT_TRUE(heap_.verify());
    EXPECT_EQ(heap_.bytes_in_use(), before - 2 * StringHeap::block_size_for(200));
    EXPECT_EQ(tag(b - 8), "QRST");   // the two as one free block
    EXPECT_EQ(word(b - 4), 2 * StringHeap::block_size_for(200));
    heap_.free(guard);
    EXPECT_EQ(heap_.bytes_in_use(), 0u);
    EXPECT_TRUE(heap_.verify());
  }
}

TEST_F(HeapTest, DoubleAndStrayReleasesAreIgnored) {
  std::uint32_t a = heap_.alloc(30);
  heap_.free(a);
  heap_.free(a);
  heap_.free(0);
  heap_.free(7);
  heap_.free(0xFFFFFFF0u);
  EXPECT_TRUE(heap_.verify());
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
}

TEST_F(HeapTest, GrowsByCommittingAndReportsExhaustion) {
  std::vector<std::uint32_t> held;
  for (int i = 0; i < 100; ++i) {
    std::uint32_t h = heap_.alloc(4000);
    ASSERT_NE(h, 0u) << i;
    std::memset(heap_.ptr(h), i, 4000);
    held.push_back(h);
  }
  EXPECT_GT(book_.committed, kSize);
  EXPECT_TRUE(heap_.verify());
  platform::set_commit_limit(book_.committed);
  std::uint32_t extra = 0;
  for (int i = 0; i < 100 && (extra = heap_.alloc(60000)) != 0; ++i) held.push_back(extra);
  EXPECT_EQ(extra, 0u);
  EXPECT_TRUE(heap_.verify());
  for (std::uint32_t h : held) heap_.free(h);
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
  EXPECT_TRUE(heap_.verify());
}

// Small blocks let go are kept for the next text of their size; the heap
// stays well formed meanwhile and gets them back on its free list.
TEST_F(HeapTest, SmallBlocksLetGoAreKeptForTheirSize) {
  const std::uint32_t a = heap_.alloc(10), b = heap_.alloc(10), other = heap_.alloc(100);
  ASSERT_TRUE(a && b && other);
  const std::uint32_t used = heap_.bytes_in_use();
  heap_.free(a);
  heap_.free(b);
  heap_.free(b);   // a double release of a kept block is still ignored
  EXPECT_EQ(tag(a - 8), "5678");   // kept blocks look used to anyone reading the heap
  EXPECT_TRUE(heap_.verify());
  EXPECT_EQ(heap_.bytes_in_use(), used - 2 * StringHeap::block_size_for(10));
  EXPECT_EQ(heap_.alloc(12), b);   // last in, first out, for any request of the size
  EXPECT_EQ(heap_.alloc(1), a);
  const std::uint32_t fresh = heap_.alloc(10);
  EXPECT_TRUE(fresh != a && fresh != b);
  // A text that happens to begin like a kept block's mark is let go as usual.
  std::uint32_t mark[2];
  heap_.free(fresh);
  std::memcpy(mark, heap_.ptr(fresh), sizeof mark);
  EXPECT_EQ(heap_.alloc(10), fresh);
  std::memcpy(heap_.ptr(a), mark, sizeof mark);
  heap_.free(a);
  EXPECT_EQ(heap_.alloc(10), a);
  for (std::uint32_t h : {a, b, fresh, other}) heap_.free(h);
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
  EXPECT_TRUE(heap_.settle());
  EXPECT_FALSE(heap_.settle());
  EXPECT_EQ(tag(40), "QRST");   // one free block again
  EXPECT_EQ(word(44), kSize - 56);
  EXPECT_TRUE(heap_.verify());
}

// A small block whose trailer was overwritten is reported as the free list
// reports it, and never kept for reuse.
TEST_F(HeapTest, AnOverwrittenSmallBlockIsReportedNotKept) {
  const std::uint32_t a = heap_.alloc(10);
  ASSERT_NE(a, 0u);
  std::memcpy(base_ + a - 8 + StringHeap::block_size_for(10) - 4, "junk", 4);
  testing::internal::CaptureStderr();
  heap_.free(a);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(message_text(errs::kHeapTagOverwrite1)), std::string::npos) << report;
  EXPECT_NE(heap_.alloc(10), a);
}

TEST_F(HeapTest, KeptBlocksMergeBeforeTheHeapGrowsOrGivesUp) {
  platform::set_commit_limit(kSize);
  std::vector<std::uint32_t> small;
  for (std::uint32_t h; (h = heap_.alloc(8 + small.size() % 40)) != 0;) small.push_back(h);
  ASSERT_GT(small.size(), 1000u);
  EXPECT_EQ(book_.committed, kSize);
  // Every 13th first: the blocks kept are spread over the heap, between
  // free ones that merge only around them.
  for (std::size_t k = 0; k < small.size(); k += 13) heap_.free(small[k]);
  for (std::size_t k = 0; k < small.size(); ++k)
    if (k % 13 != 0) heap_.free(small[k]);
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
  // A text larger than the gaps between them still fits.
  const std::uint32_t large = heap_.alloc(kSize / 2);
  EXPECT_NE(large, 0u);
  EXPECT_EQ(book_.committed, kSize);
  EXPECT_TRUE(heap_.verify());
  heap_.free(large);
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
}

TEST_F(HeapTest, RandomTrafficKeepsTheHeapConsistent) {
  std::vector<std::uint32_t> live;
  std::uint32_t seed = 12345;
  auto next = [&] { seed = seed * 1103515245u + 12345u; return seed >> 8; };
  for (int i = 0; i < 20000; ++i) {
    if (live.empty() || next() % 3 != 0) {
      std::uint32_t h = heap_.alloc(next() % 300);
      ASSERT_NE(h, 0u);
      live.push_back(h);
    } else {
      std::size_t k = next() % live.size();
      heap_.free(live[k]);
      live[k] = live.back();
      live.pop_back();
    }
  }
  EXPECT_TRUE(heap_.verify());
  for (std::uint32_t h : live) heap_.free(h);
  EXPECT_EQ(heap_.bytes_in_use(), 0u);
}

}  // namespace
}  // namespace orv
