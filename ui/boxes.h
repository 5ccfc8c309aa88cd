// Platform-free pieces of the message and prompt boxes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace orv::ui {

inline constexpr std::size_t kMessageTextMax = 20000;   // longer texts are cut and get "..."
inline constexpr std::size_t kEditLineMax = 2049;       // characters an edit line accepts
inline constexpr std::size_t kHexAnswerMax = 640;       // UTF-16 units of a hexadecimal answer

std::u16string cut_message(std::u16string text);
// Four hexadecimal digits per UTF-16 unit, low byte first ("A" -> "4100").
std::string hex_units(std::u16string_view text);
// Items of a list string; an empty string has none.
std::vector<std::u16string> split_items(std::u16string_view list, char16_t delimiter);
// Lines of a file's text (LF ends a line, a CR before it is dropped).
std::vector<std::u16string> split_lines(std::u16string_view text);

}  // namespace orv::ui
