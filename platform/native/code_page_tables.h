// The native build's own code pages: Windows-1252 (its ANSI code page), 437
// (its OEM code page) and UTF-8. Plain tables and a strict UTF-8 codec, so
// that the unit tests and fuzz targets can hold them to the system's rules.
#pragma once
#include <string>
#include <string_view>

namespace orv::platform::codepages {

inline constexpr unsigned kAnsi = 1252, kOem = 437, kUtf8 = 65001;

bool known(unsigned codePage);
// Every byte of 1252 and 437 has a character; UTF-8 fails on bad bytes.
bool to_utf16(std::string_view in, unsigned codePage, std::u16string& out);
// A character the code page lacks becomes "?"; UTF-8 fails on a lone
// surrogate half. False for a code page that is not known.
bool from_utf16(std::u16string_view in, unsigned codePage, std::string& out);

}  // namespace orv::platform::codepages
