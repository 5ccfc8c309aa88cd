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

}  // namespace
}  // namespace orv
