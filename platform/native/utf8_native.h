// Text as this system's calls take it (UTF-8) and as scripts hold it (UTF-16),
// for the native folder and environment services.
#pragma once
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/platform.h"

namespace orv::platform::native_text {

inline constexpr unsigned kUtf8 = 65001;

// Bytes that are no UTF-8 read as the ANSI code page rather than fail.
inline std::u16string from_utf8(std::string_view s) {
  std::u16string out;
  if (!codepage_to_utf16(s, kUtf8, out)) ansi_to_utf16(s, out);
  return out;
}

// False for text UTF-8 cannot hold (a lone surrogate half).
inline bool to_utf8(std::u16string_view s, std::string& out) { return utf16_to_codepage(s, kUtf8, out); }

}  // namespace orv::platform::native_text
