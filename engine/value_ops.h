// Owning operations on value records: heap strings, release and copy.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include "engine/context.h"

namespace orv {

// Copies text into the heap; 0 and error 3096 when the heap cannot grow.
std::uint32_t heap_string(Context& c, std::string_view text);
std::uint32_t heap_wstring(Context& c, std::u16string_view text);
inline const char* str_of(const Context& c, const Value& v) { return c.heap.ptr(v.str); }
// The 8-bit text of v.str with its length: measured once, then taken from the
// heap's table of known lengths while that can be trusted.
std::string_view long_str_view(const Context& c, const Value& v);
inline std::string_view str_view(const Context& c, const Value& v) {
  if (c.heap.may_know_length(v.str)) return long_str_view(c, v);
  const char* p = c.heap.ptr(v.str);
  return {p, std::char_traits<char>::length(p)};
}
inline const char16_t* wstr_of(const Context& c, const Value& v) {
  return reinterpret_cast<const char16_t*>(c.heap.ptr(v.wstr));
}
std::u16string_view wstr_view(const Context& c, const Value& v);

// Frees the payloads the flags name and clears the record.
void release_value(Context& c, Value& v);
// Deep copy into an empty target (strings re-allocated). False on error.
bool copy_value(Context& c, const Value& src, Value& dst);

// Fresh values (the target must hold nothing that needs releasing).
bool make_string(Context& c, Value& v, std::string_view text);
bool make_wstring(Context& c, Value& v, std::u16string_view text);
// A fresh text joined from pieces in one heap block: one allocation, each
// piece copied once. Pieces may lie in the heap (it grows in place). False
// with 3096 when the total cannot fit.
bool make_joined_string(Context& c, Value& v, std::initializer_list<std::string_view> pieces);
bool make_joined_wstring(Context& c, Value& v, std::initializer_list<std::u16string_view> pieces);
inline void make_int(Value& v, std::int32_t i) { clear_value(v); v.flags = vf::kInt; v.i = i; }
inline void make_int64(Value& v, std::int64_t i) { clear_value(v); v.flags = vf::kInt64; v.wide.i64 = i; }
// The low 32 bits of a whole-number result: 32-bit arithmetic wraps.
inline std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }
inline void make_float(Value& v, double f) { clear_value(v); v.flags = vf::kFloat; v.wide.f = f; }

// A temporary operand that releases its payloads when it goes out of scope.
class Temp {
 public:
  explicit Temp(Context& c) : c_(c) { clear_operand(op_); }
  ~Temp() { release_value(c_, op_); }
  Temp(const Temp&) = delete;
  Temp& operator=(const Temp&) = delete;
  Operand& op() { return op_; }
  Operand* operator->() { return &op_; }
  // Hands the payload to a new owner; this temporary becomes empty.
  void move_to(Value& dst) {
    dst = op_;
    clear_operand(op_);
  }
  void reset() { release_value(c_, op_); clear_operand(op_); }

 private:
  Context& c_;
  Operand op_;
};

}  // namespace orv
