// The built-in keyword table: operators, structure words, commands, special
// functions, built-in functions and @constants, sorted by name; id = position.
#pragma once
#include <cstdint>
#include <string_view>

#include "api/orv_api.h"

namespace orv {

inline constexpr int kKeywordCount = 793;
extern const api::KeywordRecord kKeywords[kKeywordCount];

// Values of the float and string @constants, indexed by the N of their value word.
inline constexpr int kFloatConstantCount = 20;
inline constexpr int kStringConstantCount = 4;
extern const double kFloatConstants[kFloatConstantCount];
extern const std::string_view kStringConstants[kStringConstantCount];

// What a built-in's handler leaves alone, from the F lines of tools/keywords.txt.
// kInward: it works only on values and the script's own open files, so no other
// program or path can look at a file while it runs and written lines may stay
// buffered through it; every other call first hands them to the OS.
// kReadsArguments: a compiled call may lend it a variable's text instead of a copy.
// kPure: it computes only from its arguments, so the compiled path may run it.
// kWatches: it may switch the trace or single stepping on, so its line stays text.
namespace kw_flag {
inline constexpr std::uint8_t kPure = 1;
inline constexpr std::uint8_t kReadsArguments = 2;
inline constexpr std::uint8_t kInward = 4;
inline constexpr std::uint8_t kWatches = 8;
}  // namespace kw_flag
extern const std::uint8_t kKeywordFlags[kKeywordCount];
inline bool keyword_has(int id, std::uint8_t flag) {
  return id >= 0 && id < kKeywordCount && (kKeywordFlags[id] & flag) != 0;
}

// Fields of a function record.
inline constexpr std::uint32_t kVariadicCount = 255;  // required count of a self-parsing handler
inline constexpr int kMaxParameters = 16;

constexpr int required_count(const api::KeywordRecord& r) { return static_cast<int>(r.counts & 0xFF); }
constexpr int optional_count(const api::KeywordRecord& r) { return static_cast<int>((r.counts >> 8) & 0xFF); }
constexpr bool is_variadic(const api::KeywordRecord& r) { return (r.counts & 0xFF) == kVariadicCount; }
// Type code of parameter `n` (1-based).
constexpr int arg_type(const api::KeywordRecord& r, int n) {
  return static_cast<int>((r.argTypes >> (4 * (n - 1))) & 0xF);
}

// @constant value words: the upper 24 bits select a float or string constant,
// the lowest 5 bits its number; any other word is the integer itself.
constexpr bool is_float_constant_word(std::uint32_t w) { return (w >> 8) == 0xF0F0F0u; }
constexpr bool is_string_constant_word(std::uint32_t w) { return (w >> 8) == 0xFFF0F0u; }
constexpr int constant_number(std::uint32_t w) { return static_cast<int>(w & 0x1F); }

}  // namespace orv
