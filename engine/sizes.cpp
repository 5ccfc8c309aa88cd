#include "engine/sizes.h"

namespace orv {

bool heap_can_hold(const Context& c, std::uint64_t bytes) {
  return bytes <= kMaxStringBytes && c.heap.can_hold(static_cast<std::uint32_t>(bytes));
}

bool string_room(Context& c, std::uint64_t units, unsigned unitBytes, std::uint16_t error) {
  std::uint64_t bytes = 0;
  if (checked_add(units, 1, bytes) && checked_mul(bytes, unitBytes, bytes) && heap_can_hold(c, bytes)) return true;
  return fail(c, error);
}

bool TextBudget::allow(std::uint64_t units) {
  if (units <= granted_) return true;
  std::uint64_t generous = 0, bytes = 0;
  if (checked_mul(units, 2, generous) && checked_add(generous, 1, bytes) && checked_mul(bytes, unitBytes_, bytes) &&
      heap_can_hold(c_, bytes)) {
    granted_ = generous;
    return true;
  }
  if (!string_room(c_, units, unitBytes_)) return false;
  granted_ = units;
  return true;
}

bool block_room(Context& c, std::uint64_t bytes, std::uint16_t error) {
  return block_fits(bytes) || fail(c, error);
}

}  // namespace orv
