// The run loop's message-queue throttle: due at most once per interval, and
// still due after the 32-bit tick count wraps.
#include <gtest/gtest.h>

#include "engine/pump_throttle.h"

namespace orv {
namespace {

TEST(PumpThrottleTest, DueOnceThenOnlyAfterTheInterval) {
  PumpThrottle t;
  EXPECT_TRUE(t.due(5000));
  EXPECT_FALSE(t.due(5000));
  EXPECT_FALSE(t.due(5000 + PumpThrottle::kIntervalMs - 1));
  EXPECT_TRUE(t.due(5000 + PumpThrottle::kIntervalMs));
  EXPECT_FALSE(t.due(5000 + PumpThrottle::kIntervalMs + 1));
}

TEST(PumpThrottleTest, FirstQuestionIsDueEvenAtTickZero) {
  PumpThrottle t;
  EXPECT_TRUE(t.due(0));
  EXPECT_FALSE(t.due(1));
}

TEST(PumpThrottleTest, TickWrapAroundStaysDue) {
  PumpThrottle t;
  EXPECT_TRUE(t.due(0xFFFFFFFFu - 2));
  EXPECT_FALSE(t.due(0xFFFFFFFFu));
  EXPECT_TRUE(t.due(PumpThrottle::kIntervalMs));   // wrapped past zero, interval elapsed
  // A clock that went backwards (a different tick source) is due at once
  // rather than never again.
  EXPECT_TRUE(t.due(3));
}

// Statements that may call out count for more than ones that only compute:
// the queue is looked at after fewer of them, and never after none.
TEST(PumpThrottleTest, CallingStatementsComeDueSoonerThanComputingOnes) {
  auto statements_until_due = [](std::uint32_t weight) {
    PumpThrottle t;
    std::uint32_t n = 1;
    while (t.skip_after_cheap_statement(weight)) ++n;
    return n;
  };
  const std::uint32_t computing = statements_until_due(PumpThrottle::kComputeWeight);
  const std::uint32_t calling = statements_until_due(PumpThrottle::kCallWeight);
  EXPECT_GT(computing, calling);
  EXPECT_GT(calling, 1u);
  EXPECT_LE(computing, 1024u);   // a busy loop still reaches the queue
  // After it was due the count starts again.
  PumpThrottle t;
  for (std::uint32_t k = 1; k < calling; ++k) EXPECT_TRUE(t.skip_after_cheap_statement());
  EXPECT_FALSE(t.skip_after_cheap_statement());
  EXPECT_TRUE(t.skip_after_cheap_statement());
}

}  // namespace
}  // namespace orv
