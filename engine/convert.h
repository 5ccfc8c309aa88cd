// Conversions between numbers and text, and between value kinds.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "engine/context.h"

namespace orv {

std::string int_to_text(std::int64_t value, int radix = 10);
// −1 when the radix is outside 2-36, −2 when a character is not a digit of it.
std::int64_t text_to_integer(std::string_view text, int radix);
// Formats a float by the decimals setting; nullopt for NaN.
std::optional<std::string> format_float(double x, std::int32_t decimals);

// Whether a text can read as a number at all: after white space it must
// start with a sign, a digit or a point. Most texts compared or converted are
// words, which fail here without a copy. `end` may be null for a text that
// ends with a NUL.
inline bool may_start_number(const char* p, const char* end) {
  while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
  return p != end && (*p == '+' || *p == '-' || *p == '.' || (*p >= '0' && *p <= '9'));
}

// Strict numeric readings of a text (Part of the value rules): an integer
// (blanks, signs, digits only) and a float (whole text consumed, no 'd').
struct IntText { bool ok = false; bool is64 = false; std::int64_t value = 0; };
IntText parse_integer_text(std::string_view text, bool allow64);
enum class FloatText { ok, not_float, too_large };
FloatText parse_float_text(std::string_view text, double& out);

// Conversions of a value record in place: the wanted form is added beside the
// existing ones. Each returns false and sets the error on failure.
bool to_string(Context& c, Value& v);          // adds the 8-bit form (3056)
bool to_wide(Context& c, Value& v);            // adds the UTF-16 form (3820)
// The forms to_string and to_wide would add, with the same errors, leaving
// `v` as it is (a variable's own record lent to a call): `out` views the
// value's own text, or `scratch` when it had to be made.
bool text_form(Context& c, const Value& v, std::string& scratch, std::string_view& out);
bool wide_form(Context& c, const Value& v, std::u16string& scratch, std::u16string_view& out);
// Numeric classification of a value: integer (64-bit allowed) or float.
// Leaves the value's numeric form set; 3057 when impossible.
bool to_numeric(Context& c, Value& v, bool allow64);
bool to_float(Context& c, Value& v);           // 3340
// A 32-bit integer (floats rounded half away from zero); 3057 when impossible.
bool to_int32(Context& c, Value& v);
// Float to integer by the rounding rule; false when out of range.
bool float_to_int32(double f, std::int32_t& out);
bool float_to_int64(double f, std::int64_t& out);
// The text of a value as the user sees it (numbers formatted). False + 3056.
bool value_text(Context& c, const Value& v, std::string& out);

}  // namespace orv
