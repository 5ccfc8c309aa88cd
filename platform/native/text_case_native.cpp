// Case mapping and character types for the native build: Latin-1, Latin
// Extended-A, Greek and Cyrillic letters, which covers the test scripts.
#include <array>

#include "platform/platform.h"
#include "platform/text_case.h"

namespace orv::platform {
namespace {

struct CaseTables {
  std::array<char16_t, 0x10000> up{};
  std::array<char16_t, 0x10000> low{};
  std::array<unsigned char, 256> upByte{};
  std::array<unsigned char, 256> lowByte{};

  void pair(char16_t upper, char16_t lower) {
    up[lower] = upper;
    low[upper] = lower;
  }
  void range(unsigned upperFirst, unsigned lowerFirst, unsigned count) {
    for (unsigned i = 0; i < count; ++i) pair(static_cast<char16_t>(upperFirst + i), static_cast<char16_t>(lowerFirst + i));
  }
  // Alternating upper/lower pairs starting at an upper-case letter.
  void alternating(unsigned first, unsigned last) {
    for (unsigned u = first; u < last; u += 2) pair(static_cast<char16_t>(u), static_cast<char16_t>(u + 1));
  }

  CaseTables() {
    for (unsigned i = 0; i < 0x10000; ++i) up[i] = low[i] = static_cast<char16_t>(i);
    range('A', 'a', 26);
    range(0xC0, 0xE0, 23);
    range(0xD8, 0xF8, 7);
    pair(0x178, 0xFF);
    alternating(0x100, 0x130);
    alternating(0x132, 0x138);
    alternating(0x139, 0x149);
    alternating(0x14A, 0x178);
    alternating(0x179, 0x17F);
    range(0x391, 0x3B1, 17);
    range(0x3A3, 0x3C3, 9);
    pair(0x386, 0x3AC);
    range(0x388, 0x3AD, 3);
    pair(0x38C, 0x3CC);
    range(0x38E, 0x3CD, 2);
    range(0x410, 0x430, 32);
    range(0x400, 0x450, 16);
    up[0x3C2] = 0x3A3;   // final sigma
    up[0xB5] = 0x39C;    // micro sign
    // Bytes map through their characters when the result has a byte of its own.
    for (unsigned b = 0; b < 256; ++b) {
      upByte[b] = lowByte[b] = static_cast<unsigned char>(b);
      std::u16string unit;
      ansi_to_utf16(std::string(1, static_cast<char>(b)), unit);
      for (bool toUpper : {true, false}) {
        const char16_t mapped = (toUpper ? up : low)[unit[0]];
        std::string back;
        std::u16string check;
        utf16_to_ansi(std::u16string(1, mapped), back);
        ansi_to_utf16(back, check);
        if (check.size() == 1 && check[0] == mapped)
          (toUpper ? upByte : lowByte)[b] = static_cast<unsigned char>(back[0]);
      }
    }
  }
};

const CaseTables& tables() {
  static const CaseTables t;
  return t;
}

void map_bytes(std::string& s, const std::array<unsigned char, 256>& table) {
  for (char& ch : s) ch = static_cast<char>(table[static_cast<unsigned char>(ch)]);
}
void map_units(std::u16string& s, const std::array<char16_t, 0x10000>& table) {
  for (char16_t& u : s) u = table[u];
}

bool is_letter(char16_t u) { return tables().up[u] != u || tables().low[u] != u; }

std::uint16_t type1(char16_t u) {
  std::uint16_t bits = 0x200;  // defined
  if (u >= '0' && u <= '9') bits |= 0x04 | 0x80;
  if ((u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')) bits |= 0x80;
  if (u == ' ' || u == '\t' || u == 0xA0) bits |= 0x08 | 0x40;
  else if (u >= 0x09 && u <= 0x0D) bits |= 0x08;
  if (u < 0x20 || (u >= 0x7F && u < 0xA0)) bits |= 0x20;
  if (is_letter(u)) {
    bits |= 0x100;
    if (tables().low[u] != u) bits |= 0x01;
    else bits |= 0x02;
  } else if (u > 0x20 && u < 0x7F && !(u >= '0' && u <= '9')) {
    bits |= 0x10;
  }
  return bits;
}

std::uint16_t type2(char16_t u) {
  if (u >= '0' && u <= '9') return 3;        // European number
  if (u == ' ' || u == '\t') return 0x0A;    // white space
  if (is_letter(u)) return 1;                // left to right
  return 0x0B;                               // other neutral
}

std::uint16_t type3(char16_t u) { return is_letter(u) ? 0x8000 : 0; }

}  // namespace

void upper_ansi(std::string& s) { map_bytes(s, tables().upByte); }
void lower_ansi(std::string& s) { map_bytes(s, tables().lowByte); }
void upper_utf16(std::u16string& s) { map_units(s, tables().up); }
void lower_utf16(std::u16string& s) { map_units(s, tables().low); }

bool string_type_info(std::u16string_view s, unsigned infoType, std::vector<std::uint16_t>& out) {
  out.clear();
  if (infoType != 1 && infoType != 2 && infoType != 4) return false;
  for (char16_t u : s) out.push_back(infoType == 1 ? type1(u) : infoType == 2 ? type2(u) : type3(u));
  return true;
}

}  // namespace orv::platform
