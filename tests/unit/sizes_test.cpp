// The checks that stand between sizes from scripts and the allocator: the
// heap's answer must agree with what alloc then does, arithmetic must not
// wrap, and exceptions must become error numbers.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "engine/no_throw.h"
#include "engine/sizes.h"
#include "tests/unit/engine_fixture.h"

namespace orv {
namespace {

TEST(CheckedArithmetic, RefusesWhatWouldWrap) {
  std::uint64_t out = 7;
  EXPECT_TRUE(checked_mul(0, UINT64_MAX, out));
  EXPECT_EQ(out, 0u);
  EXPECT_TRUE(checked_mul(UINT64_MAX, 1, out));
  EXPECT_EQ(out, UINT64_MAX);
  EXPECT_TRUE(checked_mul(0xFFFFFFFFull, 0x100000001ull, out));   // exactly UINT64_MAX
  EXPECT_EQ(out, UINT64_MAX);
  out = 7;
  EXPECT_FALSE(checked_mul(0x100000000ull, 0x100000000ull, out));
  EXPECT_FALSE(checked_mul(UINT64_MAX / 3 + 1, 3, out));
  EXPECT_EQ(out, 7u);   // untouched on failure
  EXPECT_TRUE(checked_add(UINT64_MAX - 5, 5, out));
  EXPECT_EQ(out, UINT64_MAX);
  EXPECT_FALSE(checked_add(UINT64_MAX - 5, 6, out));
  EXPECT_FALSE(checked_add(1, UINT64_MAX, out));
}

class HeapRoomTest : public test::EngineTest {
 protected:
  // Allocates and frees: the truth that can_hold must predict.
  bool really_fits(std::uint32_t bytes) {
    const std::uint32_t h = c.heap.alloc(bytes);
    if (h != 0) c.heap.free(h);
    return h != 0;
  }
};

TEST_F(HeapRoomTest, AnswerAgreesWithAllocationAcrossTheReservationEdge) {
  constexpr std::uint32_t kReservation = 1u << 20;
  c.heap.set_reservation(kReservation);
  std::vector<std::uint32_t> held;
  for (std::uint32_t n = 0; n < 12; ++n) held.push_back(c.heap.alloc(50000));
  for (std::uint32_t bytes = 1000; bytes < kReservation + 100000; bytes += 4093)
    EXPECT_EQ(c.heap.can_hold(bytes), really_fits(bytes)) << bytes;
  EXPECT_FALSE(c.heap.can_hold(kReservation));
  EXPECT_FALSE(c.heap.can_hold(0xFFFFFFFFu));
  for (std::uint32_t h : held) c.heap.free(h);
  EXPECT_TRUE(c.heap.verify());
}

TEST_F(HeapRoomTest, FreeBlocksCountWhenTheHeapCannotGrow) {
  platform::set_commit_limit(kCommit);   // no growth at all
  const std::uint32_t big = c.heap.alloc(30000);
  const std::uint32_t after = c.heap.alloc(20000);   // keeps big's block from joining the tail
  ASSERT_NE(big, 0u);
  ASSERT_NE(after, 0u);
  EXPECT_FALSE(c.heap.can_hold(30000)) << "only the remaining tail is free";
  c.heap.free(big);
  EXPECT_TRUE(c.heap.can_hold(30000));
  EXPECT_TRUE(really_fits(30000));
  EXPECT_FALSE(c.heap.can_hold(kCommit));
  c.heap.free(after);
}

TEST_F(HeapRoomTest, StringRoomCountsUnitsAndTheTerminator) {
  constexpr std::uint32_t kReservation = 1u << 20;
  c.heap.set_reservation(kReservation);
  EXPECT_TRUE(string_room<char>(c, 100000));
  EXPECT_EQ(c.error, 0);
  // Half the units fit as ANSI but not as UTF-16.
  const std::uint64_t units = kReservation * 3 / 4;
  EXPECT_TRUE(string_room<char>(c, units));
  EXPECT_FALSE(string_room<char16_t>(c, units));
  EXPECT_EQ(c.error, 3096);
  c.error = 0;
  EXPECT_FALSE(string_room(c, UINT64_MAX, 2));   // the terminator and width must not wrap
  EXPECT_EQ(c.error, 3096);
  c.error = 0;
  EXPECT_FALSE(string_room(c, UINT64_MAX / 2, 2, 1588));
  EXPECT_EQ(c.error, 1588);
}

TEST_F(HeapRoomTest, TextBudgetGrantsUntilTheHeapIsFull) {
  c.heap.set_reservation(1u << 20);
  TextBudget budget(c, 1);
  std::uint64_t total = 0;
  while (budget.allow(total + 10000)) total += 10000;
  EXPECT_EQ(c.error, 3096);
  EXPECT_GT(total, 900000u);
  EXPECT_LT(total, 1u << 20);
  EXPECT_TRUE(really_fits(static_cast<std::uint32_t>(total)));   // what it granted really fits
}

TEST(BlockRoom, RefusesBlocksBeyondTheProcessLimit) {
  EXPECT_TRUE(block_fits(kMaxBlockBytes));
  EXPECT_FALSE(block_fits(kMaxBlockBytes + 1));
  EXPECT_FALSE(block_fits(UINT64_MAX));
}

TEST_F(HeapRoomTest, ArraysBeyondOneBlockFailWithTheAllocationError) {
  EXPECT_EQ(eval("x = ArrDimension(30000000)"), "error 1631");
  EXPECT_EQ(eval("x = ArrDimension(100000000)"), "error 1644");
  EXPECT_EQ(eval("ArrInfo(ArrDimension(1000), 6)"), "1000");
}

TEST_F(HeapRoomTest, ExceptionsBecomeErrorNumbers) {
  EXPECT_FALSE(run_guarded(c, []() -> bool { throw std::bad_alloc(); }));
  EXPECT_EQ(c.error, 3096);
  c.error = 0;
  EXPECT_FALSE(run_guarded(c, []() -> bool { std::string s; s.reserve(s.max_size() + 1); return true; }));
  EXPECT_EQ(c.error, 3096);
  c.error = 0;
  EXPECT_FALSE(run_guarded(c, []() -> bool { throw std::runtime_error("x"); }));
  EXPECT_EQ(c.error, 837);
  c.error = 0;
  EXPECT_TRUE(run_guarded(c, [] { return true; }));
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(export_guard(-1, []() -> int { throw 5; }), -1);
  EXPECT_EQ(export_guard(-1, [] { return 3; }), 3);
}

}  // namespace
}  // namespace orv
