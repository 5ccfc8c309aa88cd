// Hex text of bytes: two upper-case digits per byte out; pairs of digits in,
// with spaces, CR and LF allowed between whole pairs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::binary {

void hex_encode(const std::uint8_t* bytes, std::size_t n, char* out);   // writes 2n chars
bool hex_decode(std::string_view text, std::string& out);

}  // namespace orv::binary
