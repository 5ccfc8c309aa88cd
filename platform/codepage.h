// 8-bit text in a chosen code page, and the OEM character set, for
// BinaryConvert. Code page 0 is the ANSI code page.
#pragma once
#include <string>
#include <string_view>

namespace orv::platform {

bool codepage_to_utf16(std::string_view in, unsigned codePage, std::u16string& out);
bool utf16_to_codepage(std::u16string_view in, unsigned codePage, std::string& out);
// In place; the length never changes.
bool oem_to_ansi(std::string& s);
bool ansi_to_oem(std::string& s);

}  // namespace orv::platform
