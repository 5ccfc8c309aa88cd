// Comma-separated lines: fields split at a one-character delimiter outside
// double quotes. A quote opens a quoted section only at the start of a field
// (blanks before it allowed); inside it "" stands for one quote. Blanks are
// space and tab (only space when tab is the delimiter).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "builtins/text/items.h"

namespace orv::text {

// True when arg is a usable CSV delimiter: exactly one character (a
// double-byte ANSI character is two units), and not a blank, a double quote,
// CR or LF.
template <class Ch>
bool csv_delimiter(std::basic_string_view<Ch> arg) {
  if (arg.empty() || char_units(arg, 0) != arg.size()) return false;
  if (arg.size() > 1) return true;
  const Ch d = arg[0];
  return d != Ch(' ') && d != Ch('"') && d != Ch('\r') && d != Ch('\n');
}

// The raw fields of one line as unit ranges; an empty line has none. False
// when the line is not valid CSV (quote after content, content after a
// closing quote, or an unclosed quote).
bool split_csv_line(std::string_view line, std::string_view delim, std::vector<Span>& fields);
bool split_csv_line(std::u16string_view line, std::u16string_view delim, std::vector<Span>& fields);

// The value of a raw field of a valid line: quotes removed and "" reduced,
// blanks trimmed from both ends unless keepBlanks.
std::string csv_field(std::string_view raw, std::string_view delim, bool keepBlanks);
std::u16string csv_field(std::u16string_view raw, std::u16string_view delim, bool keepBlanks);

// Appends one field in CSV form: quoted when it holds the delimiter, a quote,
// CR or LF, begins or ends with a blank, or when quoteAlways.
void append_csv_field(std::string& out, std::string_view field, std::string_view delim, bool quoteAlways);
void append_csv_field(std::u16string& out, std::u16string_view field, std::u16string_view delim,
                      bool quoteAlways);

}  // namespace orv::text
