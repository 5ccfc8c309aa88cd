// Comma-separated lines: fields split by a delimiter outside double quotes.
// A quote opens a quoted section only at the start of a field (blanks before
// it allowed); inside it "" stands for one quote. The parser works on one
// code per character, so it serves both text widths.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::items::csv {

struct Field {
  std::size_t begin = 0, end = 0;  // characters of the raw field
};

// The fields of a line; nullopt when the line is malformed. An empty line has none.
std::optional<std::vector<Field>> split(std::u32string_view line, char32_t delim);

// The value of a raw field: quotes removed and "" unescaped, and blanks
// trimmed from both ends unless `keepBlanks`.
std::u32string value(std::u32string_view line, const Field& f, char32_t delim, bool keepBlanks);

// A delimiter may not be a blank, a quote or a line end.
bool valid_delimiter(char32_t d);

}  // namespace orv::items::csv
