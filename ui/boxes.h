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

// Items in the order the sorted boxes show them (case ignored, ties kept).
void sort_items(std::vector<std::u16string>& items);
// A list delimiter as the boxes take it: one character, empty for TAB; false
// when longer.
bool read_delimiter(std::u16string_view given, char16_t& delimiter);

// The lines of a text file; false when it cannot be read.
bool read_file_lines(const std::u16string& name, std::vector<std::u16string>& lines);

}  // namespace orv::ui
