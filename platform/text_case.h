// Character case and character-type rules of the system, for the string
// built-ins. Case mapping never changes a text's length.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::platform {

void upper_ansi(std::string& s);
void lower_ansi(std::string& s);
void upper_utf16(std::u16string& s);
void lower_utf16(std::u16string& s);

// Character-type bits of each unit of s; info type 1, 2 or 4 (the three
// type sets of the system's character-type service). False on failure.
bool string_type_info(std::u16string_view s, unsigned infoType, std::vector<std::uint16_t>& out);

}  // namespace orv::platform
