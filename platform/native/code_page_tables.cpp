#include "platform/native/code_page_tables.h"

#include <array>

namespace orv::platform::codepages {
namespace {

// Bytes 0x80-0x9F of 1252; the bytes it leaves undefined keep their own value.
constexpr std::array<char16_t, 32> k1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Bytes 0x80-0xFF of 437; below 0x80 it is ASCII (controls stay controls).
constexpr std::array<char16_t, 128> k437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

char16_t unit_1252(unsigned char b) { return b >= 0x80 && b <= 0x9F ? k1252High[b - 0x80] : b; }
char16_t unit_437(unsigned char b) { return b >= 0x80 ? k437High[b - 0x80] : b; }

template <std::size_t N>
bool find_high(const std::array<char16_t, N>& high, char16_t u, char& out) {
  for (std::size_t i = 0; i < N; ++i)
    if (high[i] == u) {
      out = static_cast<char>(0x80 + i);
      return true;
    }
  return false;
}

char byte_1252(char16_t u) {
  char b = '?';
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  find_high(k1252High, u, b);
  return b;
}

char byte_437(char16_t u) {
  char b = '?';
  if (u < 0x80) return static_cast<char>(u);
  find_high(k437High, u, b);
  return b;
}

bool utf8_to_utf16(std::string_view in, std::u16string& out) {
  for (std::size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || in.size() - i <= static_cast<std::size_t>(extra)) return false;   // bad lead, or cut short
    char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

bool utf16_to_utf8(std::u16string_view in, std::string& out) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[++i] - 0xDC00);
    else if (cp >= 0xD800 && cp <= 0xDFFF)
      return false;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

}  // namespace

bool known(unsigned codePage) { return codePage == kAnsi || codePage == kOem || codePage == kUtf8; }

bool to_utf16(std::string_view in, unsigned codePage, std::u16string& out) {
  out.clear();
  out.reserve(in.size());
  switch (codePage) {
    case kUtf8: return utf8_to_utf16(in, out);
    case kAnsi: for (char b : in) out.push_back(unit_1252(static_cast<unsigned char>(b))); return true;
    case kOem: for (char b : in) out.push_back(unit_437(static_cast<unsigned char>(b))); return true;
    default: return false;
  }
}

bool from_utf16(std::u16string_view in, unsigned codePage, std::string& out) {
  out.clear();
  out.reserve(in.size());
  switch (codePage) {
    case kUtf8: return utf16_to_utf8(in, out);
    case kAnsi: for (char16_t u : in) out.push_back(byte_1252(u)); return true;
    case kOem: for (char16_t u : in) out.push_back(byte_437(u)); return true;
    default: return false;
  }
}

}  // namespace orv::platform::codepages
