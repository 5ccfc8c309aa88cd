// The operators by precedence. The evaluator's grammar and the compiler both
// read this table, so the text path and the compiled path bind alike.
#pragma once
#include <cstdint>

#include "engine/keywords.h"

namespace orv::ops {

// Binary levels, loosest first; each level's operands are of the next one.
enum Level : std::uint8_t {
  kNoLevel = 0,
  kLogical,   // && ||
  kBitwise,   // ^ & |
  kCompare,   // == != <> > >= < <=
  kConcat,    // :
  kShift,     // << >>
  kSum,       // + -
  kProduct,   // * / mod
  kPower,     // **
};

// The level of a binary operator; kNoLevel for any other keyword.
constexpr Level binary_level(int keyword) {
  switch (keyword) {
    case id::kAndAnd: case id::kBarBar: return kLogical;
    case id::kCaret: case id::kAmp: case id::kBar: return kBitwise;
    case id::kEq: case id::kNe: case id::kLtGt: case id::kGt: case id::kGe: case id::kLt: case id::kLe:
      return kCompare;
    case id::kColon: return kConcat;
    case id::kShl: case id::kShr: return kShift;
    case id::kPlus: case id::kMinus: return kSum;
    case id::kStar: case id::kSlash: case id::kMod: return kProduct;
    case id::kPow: return kPower;
    default: return kNoLevel;
  }
}

// Operators that may stand before an operand.
constexpr bool is_prefix(int keyword) {
  return keyword == id::kNot || keyword == id::kPlus || keyword == id::kMinus || keyword == id::kTilde;
}

}  // namespace orv::ops
