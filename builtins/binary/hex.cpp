#include "builtins/binary/hex.h"

namespace orv::binary {
namespace {

int digit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

void hex_encode(const std::uint8_t* bytes, std::size_t n, char* out) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < n; ++i) {
    *out++ = kDigits[bytes[i] >> 4];
    *out++ = kDigits[bytes[i] & 15];
  }
}

bool hex_decode(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == ' ' || ch == '\r' || ch == '\n') { ++i; continue; }
    if (i + 1 >= text.size()) return false;
    const int hi = digit(ch), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi << 4 | lo));
    i += 2;
  }
  return true;
}

}  // namespace orv::binary
