// Comma-separated lines: fields split at a one-character delimiter, with
// double-quoted sections for fields that hold delimiters or quotes.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace orv::text {

// The delimiter of a CSV argument: exactly one character, and not a blank,
// a double quote, CR or LF. False when invalid.
template <class Ch>
bool csv_delimiter(std::basic_string_view<Ch> arg, Ch& out) {
  if (arg.size() != 1) return false;
  const Ch d = arg[0];
  if (d == Ch(' ') || d == Ch('"') || d == Ch('\r') || d == Ch('\n')) return false;
  out = d;
  return true;
}

// The fields of one line, quotes removed and doubled quotes reduced; leading
// and trailing blanks are trimmed unless keepBlanks. An empty line has no
// fields. False when the line is not valid CSV (quote after content, content
// after a closing quote, or an unclosed quote).
bool parse_csv_line(std::string_view line, char delim, bool keepBlanks, std::vector<std::string>& fields);
bool parse_csv_line(std::u16string_view line, char16_t delim, bool keepBlanks,
                    std::vector<std::u16string>& fields);

// Appends one field in CSV form: quoted when it holds the delimiter, a quote,
// CR or LF, begins or ends with a blank, or when quoteAlways.
void append_csv_field(std::string& out, std::string_view field, char delim, bool quoteAlways);
void append_csv_field(std::u16string& out, std::u16string_view field, char16_t delim, bool quoteAlways);

}  // namespace orv::text
