// Argument and result helpers shared by the file built-ins: every path is
// taken as UTF-16 whatever the call's width, and made full before use.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dispatch.h"

namespace orv::files {

// Argument k as UTF-16 text, from either width.
std::u16string wide_arg(const Call& call, int k);
// A path made absolute; false with 1433 when it cannot be.
bool full_path(Context& c, const std::u16string& path, std::u16string& out);
// Records an OS failure: the error number, with the OS call's name and the
// system's text as the additional text. Returns false.
bool os_fail(Context& c, std::uint16_t number, const char* call, std::uint32_t err);
// A text result in the call's width.
bool set_text(Call& call, std::u16string_view text);
bool set_text(Call& call, std::string_view ansi);
// Upper-cased ASCII, for mode words and names compared without case.
std::u16string upper_ascii(std::u16string_view s);

}  // namespace orv::files
