#include "builtins/text/hex.h"

namespace orv::text {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int digit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool is_gap(char ch) { return ch == ' ' || ch == '\r' || ch == '\n'; }

}  // namespace

void hex_encode(const std::uint8_t* bytes, std::size_t n, char* out) {
  for (std::size_t i = 0; i < n; ++i) {
    *out++ = kDigits[bytes[i] >> 4];
    *out++ = kDigits[bytes[i] & 15];
  }
}

std::string bytes_to_hex(std::string_view bytes) {
  std::string out(bytes.size() * 2, '\0');
  hex_encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out.data());
  return out;
}

HexStatus hex_to_bytes(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (is_gap(ch)) { ++i; continue; }
    const int hi = digit(ch);
    if (hi < 0) return HexStatus::bad_digit;
    if (i + 1 >= text.size() || is_gap(text[i + 1])) return HexStatus::incomplete;
    const int lo = digit(text[i + 1]);
    if (lo < 0) return HexStatus::bad_digit;
    out.push_back(static_cast<char>(hi << 4 | lo));
    i += 2;
  }
  return HexStatus::ok;
}

std::string units_to_hex(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 4);
  for (char16_t u : units)
    for (unsigned byte : {u & 0xFFu, (u >> 8) & 0xFFu}) {
      out += kDigits[byte >> 4];
      out += kDigits[byte & 15];
    }
  return out;
}

HexStatus hex_to_units(std::string_view text, std::u16string& out) {
  out.clear();
  std::string bytes;
  if (const HexStatus s = hex_to_bytes(text, bytes); s != HexStatus::ok) return s;
  if (bytes.size() % 2 != 0) return HexStatus::incomplete;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2)
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8));
  return HexStatus::ok;
}

}  // namespace orv::text
