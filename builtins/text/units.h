// Character stepping in text of either width: a double-byte ANSI character
// is two units, every UTF-16 unit is one character.
#pragma once
#include <cstddef>
#include <string_view>

#include "platform/platform.h"

namespace orv::text {

// True when the ANSI code page has double-byte characters at all (asked
// once): in a single-byte one no unit needs asking about.
bool ask_code_page_has_lead_bytes();
inline bool code_page_has_lead_bytes() {
  static const bool any = ask_code_page_has_lead_bytes();
  return any;
}

inline std::size_t char_units(std::string_view s, std::size_t i) {
  return i + 1 < s.size() && code_page_has_lead_bytes() &&
                 platform::is_dbcs_lead_byte(static_cast<unsigned char>(s[i]))
             ? 2
             : 1;
}
inline std::size_t char_units(std::u16string_view, std::size_t) { return 1; }

}  // namespace orv::text
