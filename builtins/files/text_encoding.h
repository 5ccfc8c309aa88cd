// Byte forms of text in files: the byte-order mark, UTF-16 in either byte
// order, and the line terminators FileWrite may add. Shared with the array
// file functions so that both families write the same bytes.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "builtins/files/line_reader.h"

namespace orv::files {

// The encoding a file's first bytes announce (ansi when there is no mark).
inline Encoding encoding_of_mark(const unsigned char* p, std::size_t n) {
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return Encoding::utf16le;
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return Encoding::utf16be;
  return Encoding::ansi;
}

// Appends UTF-16 units in the encoding's byte order.
inline void append_units(std::string& out, std::u16string_view text, Encoding e) {
  const bool big = e == Encoding::utf16be;
  const std::size_t at = out.size();
  out.resize(at + 2 * text.size());
  char* p = out.data() + at;
  for (char16_t u : text) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    *p++ = big ? hi : lo;
    *p++ = big ? lo : hi;
  }
}

inline void append_mark(std::string& out, Encoding e) { append_units(out, u"\xFEFF", e); }

// The line terminator of the FileWrite setting: 0 none, 1 CR LF, 2 LF, 3 CR, 4 TAB.
inline std::u16string_view terminator(int setting) {
  switch (setting) {
    case 0: return u"";
    case 2: return u"\n";
    case 3: return u"\r";
    case 4: return u"\t";
    default: return u"\r\n";
  }
}

}  // namespace orv::files
