// Hex text: two upper-case digits per byte out; pairs of digits in, with
// spaces, CR and LF allowed between whole pairs. UTF-16 text is written four
// digits per unit, low byte first ("A", U+0041, is "4100"), as the bytes lie
// in memory. Shared by the binary buffers, the Chr functions and AskLine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::text {

enum class HexStatus { ok, bad_digit, incomplete };

void hex_encode(const std::uint8_t* bytes, std::size_t n, char* out);   // writes 2n chars
std::string bytes_to_hex(std::string_view bytes);
HexStatus hex_to_bytes(std::string_view text, std::string& out);

std::string units_to_hex(std::u16string_view units);
// Bytes as above, taken in pairs (low byte first); an odd byte count is incomplete.
HexStatus hex_to_units(std::string_view text, std::u16string& out);

}  // namespace orv::text
