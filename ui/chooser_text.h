// The platform-free side of the file, folder and colour choosers: the file
// type list scripts write, the answer of a multiple choice, colour answers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::ui {

// "Text files|*.txt|All files|*.*" (a "|" at the end is allowed) as the
// system's filter: description and pattern, each ended by NUL, the list by a
// second NUL. "" is every file. None when a description or pattern is
// empty or a pattern is missing.
std::optional<std::u16string> file_filter(std::u16string_view types);

// A multiple choice's answer: the folder, then each name, NUL-separated, the
// list ended by two NULs; a single name comes as one full path.
std::vector<std::u16string> chosen_files(std::u16string_view answer);

// Colour answers of AskColor: 0 "r|g|b", 1 "Hrrggbb", 2 the system's number
// (blue in the high byte) in decimal. None for another format.
std::optional<std::string> colour_answer(std::uint8_t r, std::uint8_t g, std::uint8_t b, int format);

// A font as AskFont takes and gives it: "face|points|style|charset", the
// style numbered as in dialog definitions (weight / 10, plus 100 italic,
// 1000 underline, 10000 strike-out: 70 bold, 140 italic normal).
struct FontChoice {
  std::string face;
  int points = 0;            // 0: the chooser's choice
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  int charSet = 1;           // the system's default character set
};
// Missing fields keep their defaults ("Arial" or "Arial|12"); none when a
// field is not a number, out of range, or there are more than four.
std::optional<FontChoice> parse_font_choice(std::string_view text);
// Format 0 the whole description, 1 the face only; none for another format.
std::optional<std::string> font_answer(const FontChoice& f, int format);

}  // namespace orv::ui
