// 8-bit text in a chosen code page, the OEM character set (BinaryConvert),
// and the code pages of the system and its console. Code page 0 is the ANSI
// code page. UTF-8 (65001) converts strictly: bad bytes and lone surrogate
// halves fail rather than turn into replacement characters; other code pages
// write "?" for a character they lack, never a look-alike.
#pragma once
#include <string>
#include <string_view>

namespace orv::platform {

bool codepage_to_utf16(std::string_view in, unsigned codePage, std::u16string& out);
bool utf16_to_codepage(std::u16string_view in, unsigned codePage, std::string& out);
// In place; the length never changes.
bool oem_to_ansi(std::string& s);
bool ansi_to_oem(std::string& s);

// Whether 8-bit text can be converted in that code page here.
bool code_page_available(unsigned codePage);
unsigned ansi_code_page();
// The console's output code page; 0 when the process has no console.
unsigned console_code_page();
bool set_console_code_page(unsigned codePage);

}  // namespace orv::platform
