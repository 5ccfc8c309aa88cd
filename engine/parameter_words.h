// Words of a parameter line, as a script's command line, Call and ParseData
// split it: blanks and tabs separate words; a word that starts with a double
// quote, an apostrophe or a backquote runs to the same quote (two of it in a
// row stand for one, the other quotes are plain text, a missing closing quote
// takes the rest of the line); a quote inside an unquoted word is plain text.
// Platform-free, for 8-bit and UTF-16 text alike.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace orv {

template <class Ch>
std::vector<std::basic_string<Ch>> parameter_words(std::basic_string_view<Ch> line) {
  const auto blank = [](Ch ch) { return ch == Ch(' ') || ch == Ch('\t'); };
  std::vector<std::basic_string<Ch>> words;
  std::size_t p = 0;
  for (;;) {
    while (p < line.size() && blank(line[p])) ++p;
    if (p >= line.size()) break;
    std::basic_string<Ch> word;
    const Ch quote = line[p];
    if (quote == Ch('"') || quote == Ch('\'') || quote == Ch('`')) {
      ++p;
      while (p < line.size()) {
        if (line[p] == quote) {
          if (p + 1 < line.size() && line[p + 1] == quote) { word += quote; p += 2; continue; }
          ++p;
          break;
        }
        word += line[p++];
      }
    } else {
      while (p < line.size() && !blank(line[p])) word += line[p++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace orv
