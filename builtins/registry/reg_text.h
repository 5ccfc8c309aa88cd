// The platform-free half of the registry functions: the "subkey[value]"
// addressing syntax, the view flag, and the text forms of value data
// (DWORD numbers, hex byte pairs, delimited multi-strings).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::registry {

// Longest subkey the functions accept.
inline constexpr std::size_t kMaxSubkey = 2048;

// Value types by their system numbers.
namespace type {
inline constexpr std::uint32_t kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kDwordBigEndian = 5, kLink = 6,
                               kMultiSz = 7, kQword = 11;
}

struct KeyAndValue {
  std::string subkey;
  std::string value;        // "" is the key's default value
  bool namesValue = false;  // the text had a "[value]" part
};
// "path\to\key[value]", "[value]" or "path\to\key". Returns 0 or the error
// number (1402 bad value part, 1460 subkey too long).
std::uint16_t split_key_and_value(std::string_view text, KeyAndValue& out);

// True when the subkey names the redirected 32-bit branch itself.
bool names_wow_branch(std::string_view subkey);

// The view flag: 0, 32 or 64; anything else is refused.
inline bool valid_view_flag(std::int32_t flag) { return flag == 0 || flag == 32 || flag == 64; }

// "%lu" or "%lX".
std::string dword_text(std::uint32_t v, bool hex);
// Big-endian DWORD data as a number.
std::uint32_t big_endian_dword(const unsigned char* p, std::size_t n);
// Each byte as "%02X ".
std::string hex_pairs(const unsigned char* p, std::size_t n);
// Decimal digits, or hex digits when hex; nullopt for anything else.
std::optional<std::uint32_t> parse_dword(std::string_view text, bool hex);
// Pairs of two hex digits separated by blanks or TABs; nullopt when malformed.
std::optional<std::vector<unsigned char>> parse_hex_pairs(std::string_view text);
// NUL-separated strings (ending in a double NUL) joined with the delimiter.
std::string multi_to_text(std::string_view data, char delimiter);
// The delimited text as NUL-separated strings with the final NUL pair.
std::string text_to_multi(std::string_view text, char delimiter);

}  // namespace orv::registry
