// What the array built-ins share: reaching the array argument, making new
// arrays and the values an element may be set to.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dispatch.h"
#include "engine/arrays.h"

namespace orv::arrays {

using Sizes = std::array<std::uint32_t, 5>;

inline Operand& arg(Call& call, int k) { return call.args[static_cast<std::size_t>(k)]; }
inline std::int32_t int_arg(Call& call, int k, std::int32_t fallback) {
  return call.count >= k ? arg(call, k).i : fallback;
}

// The header of array argument k (1641 when it is not an array, 1637 when
// its block cannot be reached); nullptr on error.
ArrayHeader* array_arg(Call& call, int k);
inline Value* elements_arg(Call& call, int k) { return call.c.arrays.elements(arg(call, k).str); }

// As array_arg, and the array must have elements (1710) and a dimension
// count from minDims to maxDims (1805).
ArrayHeader* shaped_array_arg(Call& call, int k, int minDims, int maxDims);

inline Sizes sizes_of(const ArrayHeader& h) {
  return {h.sizes[0], h.sizes[1], h.sizes[2], h.sizes[3], h.sizes[4]};
}

// A new array owned until it is handed out; released otherwise.
class NewArray {
 public:
  explicit NewArray(Context& c) : c_(c) {}
  ~NewArray();
  NewArray(const NewArray&) = delete;
  NewArray& operator=(const NewArray&) = delete;
  // Creates the block; false with the creation error (1628, 1630, 1644, 1631).
  bool create(const Sizes& sizes, bool growthRoom = false);
  std::uint32_t handle() const { return handle_; }
  ArrayHeader& header() const { return *c_.arrays.header(handle_); }
  Value* elements() const { return c_.arrays.elements(handle_); }
  // Makes the array the call's result.
  void to_result(Call& call);
  // Gives `target` this block (its holders see the new shape) and releases
  // the old block with whatever elements are still in it.
  void replace(std::uint32_t target);

 private:
  Context& c_;
  std::uint32_t handle_ = 0;
};

// Copies a value that an element may hold (integer, 64-bit integer, float,
// ANSI or wide string) into an empty element; false with 1671 for any other
// kind, or with 3096.
bool element_copy(Context& c, const Value& value, Value& element);

// The text of a value in either width (numbers formatted as everywhere);
// false with 3056, 3820 or 1599.
bool element_text(Context& c, const Value& v, std::string& out);
bool element_text(Context& c, const Value& v, std::u16string& out);

// Stores a string of either width into an empty element; false with 3096.
bool store_text(Context& c, Value& v, std::string_view s);
bool store_text(Context& c, Value& v, std::u16string_view s);

// Releases the elements [from, to).
void release_range(Context& c, Value* els, std::uint32_t from, std::uint32_t to);

}  // namespace orv::arrays
