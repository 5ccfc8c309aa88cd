// The value record shared by variables, operands, arguments and results.
#pragma once
#include <cstddef>
#include <cstdint>
#include "api/orv_api.h"
#include "engine/limits.h"

namespace orv {

using Value = api::Value;
using Operand = api::Operand;

namespace vf {
inline constexpr std::uint32_t kInt = 0x0001;
inline constexpr std::uint32_t kStr = 0x0002;
inline constexpr std::uint32_t kFile = 0x0004;
inline constexpr std::uint32_t kDeclared = 0x0008;
inline constexpr std::uint32_t kFloat = 0x0020;
inline constexpr std::uint32_t kBinary = 0x0040;
inline constexpr std::uint32_t kWide = 0x0080;
inline constexpr std::uint32_t kArray = 0x0100;
inline constexpr std::uint32_t kCom = 0x0200;
inline constexpr std::uint32_t kComObject = 0x0400;
inline constexpr std::uint32_t kAttached = 0x0800;
inline constexpr std::uint32_t kInt64 = 0x2000;
inline constexpr std::uint32_t kAssignedMask = 0x23A3;
inline constexpr std::uint32_t kNumeric = kInt | kFloat | kInt64;
}  // namespace vf

inline bool is_assigned(const Value& v) { return (v.flags & vf::kAssignedMask) != 0; }

inline void clear_value(Value& v) { v = Value{}; }
// The operand no longer names the variable it was read from.
inline void drop_origin(Operand& o) {
  o.slot = limits::kNoSlot;
  o.frame = limits::kNoFrame;
}
inline void clear_operand(Operand& o) {
  o = Operand{};
  drop_origin(o);
}
// The first `n` operands cleared one by one: the index is hidden from the
// optimizer, which would otherwise make a block clear (rep stos) that costs
// more to start than a few operands take.
inline void clear_operands(Operand* ops, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    asm("" : "+r"(k));
    clear_operand(ops[k]);
  }
}
inline void set_int(Value& v, std::int32_t i) {
  v.flags = vf::kInt;
  v.i = i;
}

}  // namespace orv
