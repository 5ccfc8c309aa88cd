// Sizes that come from scripts (counts, lengths, widths, dimensions, repeat
// counts, buffer sizes) are checked here against what their destination can
// hold, before anything is allocated. A script must never make the library
// allocate more than the string heap or a memory block can take: in the
// 32-bit product one oversized temporary exhausts the address space.
//
// Use in a built-in:
//   std::uint64_t units = 0;
//   if (!checked_mul(count, each, units) || !string_room<Ch>(c, units)) return;  // 3096 set
//   ... build the text, then store it with make_string / make_wstring
// and for blocks (arrays, buffers):
//   if (!block_room(c, bytes, 1631)) return;
#pragma once
#include <cstdint>

#include "engine/context.h"
#include "engine/error_numbers.h"

namespace orv {

// a * b and a + b; false (and `out` untouched) when the result would wrap.
[[nodiscard]] constexpr bool checked_mul(std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
  if (a != 0 && b > UINT64_MAX / a) return false;
  out = a * b;
  return true;
}
[[nodiscard]] constexpr bool checked_add(std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
  if (b > UINT64_MAX - a) return false;
  out = a + b;
  return true;
}

// The largest single string payload the heap accepts, terminator included.
inline constexpr std::uint64_t kMaxStringBytes = 0x7FFF0000u;
// The largest memory block a script may ask for in one piece. The product
// lives in a 2 GB address space that also holds the heap, the code and the
// host; a block beyond this could only fail or starve everything else.
inline constexpr std::uint64_t kMaxBlockBytes = 0x40000000u;

// True when the string heap can take one more payload of `bytes` bytes
// (growing within its reservation if need be). Sets no error.
bool heap_can_hold(const Context& c, std::uint64_t bytes);

// True when a string of `units` characters of `unitBytes` bytes each (and its
// terminator) fits in the string heap; otherwise sets `error` and returns false.
bool string_room(Context& c, std::uint64_t units, unsigned unitBytes, std::uint16_t error = errs::kOutOfMemory);
template <class Ch>
bool string_room(Context& c, std::uint64_t units, std::uint16_t error = errs::kOutOfMemory) {
  return string_room(c, units, sizeof(Ch), error);
}

// The room check for a text built piece by piece (joins): call allow() with
// the total before each append. The heap is asked again only when the total
// passes what it already granted, doubling, so the check stays cheap.
class TextBudget {
 public:
  TextBudget(Context& c, unsigned unitBytes) : c_(c), unitBytes_(unitBytes) {}
  // False with 3096 set when `units` (and a terminator) cannot fit.
  bool allow(std::uint64_t units);

 private:
  Context& c_;
  unsigned unitBytes_;
  std::uint64_t granted_ = 0;
};

// True when a memory block of `bytes` may be requested at all; the allocation
// itself may still fail. block_room sets `error` when it may not.
constexpr bool block_fits(std::uint64_t bytes) { return bytes <= kMaxBlockBytes; }
bool block_room(Context& c, std::uint64_t bytes, std::uint16_t error);

}  // namespace orv
