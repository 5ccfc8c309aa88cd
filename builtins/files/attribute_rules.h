// Attribute letters: "RASH" for read-only, archive, system and hidden, with
// "-" for each one that is not set; upper-case letters set, lower-case clear.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::files {

std::u16string attribute_text(std::uint32_t attributes);
// The attributes after applying the letters; other characters are ignored
// and the folder bit is never passed on.
std::uint32_t apply_letters(std::uint32_t attributes, std::u16string_view letters);

}  // namespace orv::files
