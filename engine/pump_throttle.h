// Decides when the run loop looks at the message queue between statements.
// Looking costs a round trip to the window system's server, so a busy script
// looks only when the cheap tick count has moved on by the interval; it stays
// responsive and breakable at that granularity.
#pragma once
#include <cstdint>

namespace orv {

class PumpThrottle {
 public:
  static constexpr std::uint32_t kIntervalMs = 10;

  // True when the queue is due at tick `now`; the first question is always due.
  // Unsigned differences keep this right when the 32-bit tick count wraps.
  bool due(std::uint32_t now) {
    if (started_ && now - last_ < kIntervalMs) return false;
    started_ = true;
    last_ = now;
    return true;
  }

  // Compiled statements take far less time than reading the clock; after
  // them the loop looks only once they add up to kCheapBudget. One that
  // computes only weighs kComputeWeight, one that may call out (and so take
  // longer) kCallWeight: a busy loop of either still looks every few
  // microseconds. True: not now.
  static constexpr std::uint32_t kCheapBudget = 256, kComputeWeight = 1, kCallWeight = 16;
  // Statements run as part of another count toward the next look without
  // asking.
  void add_cheap_statements(std::uint32_t weight) { cheap_ += weight; }
  // Would a statement of this weight leave the next look still to come?
  bool room_for(std::uint32_t weight) const { return cheap_ + weight < kCheapBudget; }
  bool skip_after_cheap_statement(std::uint32_t weight = kCallWeight) {
    cheap_ += weight;
    if (cheap_ < kCheapBudget) return true;
    cheap_ = 0;
    return false;
  }

 private:
  bool started_ = false;
  std::uint32_t last_ = 0;
  std::uint32_t cheap_ = 0;
};

}  // namespace orv
