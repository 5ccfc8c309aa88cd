// Platform-free rules of the automation layer: variant type names, the
// mapping of failure codes to error numbers, moniker names, and the date and
// single-precision readings used when a variant is read as text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/object_hooks.h"

namespace orv::com {

// Variant type codes (the automation standard's numbering).
namespace vt {
inline constexpr std::uint16_t kEmpty = 0, kNull = 1, kI2 = 2, kI4 = 3, kR4 = 4, kR8 = 5, kCy = 6, kDate = 7,
                               kBstr = 8, kDispatch = 9, kError = 10, kBool = 11, kVariant = 12, kUnknown = 13,
                               kDecimal = 14, kI1 = 16, kUi1 = 17, kUi2 = 18, kUi4 = 19, kI8 = 20, kUi8 = 21,
                               kInt = 22, kUint = 23;
inline constexpr std::uint16_t kVector = 0x1000, kArray = 0x2000, kByRef = 0x4000, kReserved = 0x8000;
inline constexpr std::uint16_t kFlagMask = 0xF000, kTypeMask = 0x0FFF, kIllegal = 0xFFFF;
}  // namespace vt

// vartype_text ("VT_ARRAY|VT_I4", "I4", ...) is declared with the engine's
// object hooks, which name variant types in the trace.

// Reads a type written as one or two names joined by "|" (each with or
// without "VT_", any case); nullopt when a name is unknown or more are given.
std::optional<std::uint16_t> parse_vartype(std::string_view text);

// Error number for a failure status; `creating` turns an unrecognised
// status into the creation failure.
std::uint16_t error_for_status(std::uint32_t status, bool creating = false);

// Names bound as monikers rather than created from a class name.
bool is_moniker_name(std::string_view name);

// Automation dates (days since 1899-12-30, the fraction being the time of
// day) and YmdHms text. nullopt when the value lies outside years 100-9999
// or the text is not a valid YmdHms.
std::optional<std::string> date_to_ymdhms(double date);
std::optional<double> ymdhms_to_date(std::string_view text);

// A single-precision value taken to the nearest millionth, so that the float
// nearest 0.1 reads back as 0.1.
double single_to_double(float value);

// How a held variant (not an object, not an array) is read: the types with a
// reading of their own, and every other type through the system's conversion
// to a string variant. Integers keep their number, which is the same digits
// as that conversion gives, while the value record can hold it.
enum class Reading { kEmpty, kInteger, kSingle, kDouble, kCurrency, kDate, kString, kSystemText };
Reading reading_of(std::uint16_t type);

// The number an unsigned 64-bit variant keeps; nullopt above the signed
// range, where only the system's text gives every digit.
std::optional<std::int64_t> unsigned_as_integer(std::uint64_t value);

// Removes a case-insensitive prefix ("#CURRENCY:"); true when it was there.
bool strip_prefix(std::string& text, std::string_view prefix);

}  // namespace orv::com
