// What the binary-buffer handlers share: handle lookup, the range checks in
// their fixed order, and registration of the groups.
#pragma once
#include <cstdint>
#include <string_view>

#include "builtins/dispatch.h"
#include "engine/value_ops.h"

namespace orv::binary {

void register_alloc(HandlerTable& t);
void register_numbers(HandlerTable& t);
void register_strings(HandlerTable& t);
void register_two_buffers(HandlerTable& t);
void register_files(HandlerTable& t);
void register_search(HandlerTable& t);
void register_replace(HandlerTable& t);
void register_tags(HandlerTable& t);
void register_records(HandlerTable& t);
void register_checksum(HandlerTable& t);
void register_compress(HandlerTable& t);
void register_convert(HandlerTable& t);
void register_clipboard(HandlerTable& t);   // Windows only
void register_arrays(HandlerTable& t);

inline std::int32_t arg_int(const Call& call, int k) { return call.args[static_cast<std::size_t>(k)].i; }
inline std::string_view arg_str(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  return (v.flags & vf::kStr) ? std::string_view(str_of(call.c, v)) : std::string_view();
}

// The buffer named by argument k; nullptr with 3023 when it names none.
BinaryBuffer* buffer_arg(Call& call, int k);

// Offset and count checks shared by the family (1548 negative offset, 1549
// negative count). False with the error set.
bool check_offset(Call& call, std::int64_t offset);
bool check_count(Call& call, std::int64_t count);

// The bytes [0, eod) of a buffer.
inline std::string_view data_view(const BinaryBuffer& b) {
  return {reinterpret_cast<const char*>(b.data), static_cast<std::size_t>(b.eod)};
}

// The value rules of the number pokes, shared with every other writer of
// little-endian numbers into buffer memory (BinaryAllocArray, DllStructPoke).
// Widths below 8 take a value whose bits above the width are all clear or all
// set, so -1 and 255 both fit a byte; the caller answers 3326 otherwise.
inline bool poke_fits(std::int64_t value, int width) {
  if (width >= 8) return true;
  const std::int64_t high = value >> (8 * width);
  return high == 0 || high == -1;
}
// BinaryPoke8's value: an integer, a float, or decimal text; false with 1824.
bool poke8_value(Context& c, const Value& v, std::int64_t& out);

// Byte case folding by the system's rules for 8-bit text.
const std::uint8_t* upper_table();

// Stores an 8-bit string result; false with 3096 when the heap is full.
bool set_string(Call& call, std::string_view text);

}  // namespace orv::binary

namespace orv::binary {
// A fresh 8-bit string result of `length` bytes to fill in place (NUL
// already written after them); nullptr with 3096 when the heap cannot hold it.
char* string_result(Call& call, std::size_t length);
// The same for a UTF-16 result of `units` units.
char16_t* wide_string_result(Call& call, std::size_t units);
}  // namespace orv::binary
