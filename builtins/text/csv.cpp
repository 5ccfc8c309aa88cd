#include "builtins/text/csv.h"

#include "builtins/text/units.h"

namespace orv::text {
namespace {

// Blanks do not count as content; with a TAB delimiter only the space does.
template <class Ch>
bool is_blank(Ch ch, Ch delim) {
  return ch == Ch(' ') || (ch == Ch('\t') && delim != Ch('\t'));
}

template <class Ch>
void trim(std::basic_string<Ch>& s, Ch delim) {
  std::size_t b = 0, e = s.size();
  while (b < e && is_blank(s[b], delim)) ++b;
  while (e > b && is_blank(s[e - 1], delim)) --e;
  s = s.substr(b, e - b);
}

template <class Ch>
bool parse(std::basic_string_view<Ch> line, Ch delim, bool keepBlanks, std::vector<std::basic_string<Ch>>& fields) {
  fields.clear();
  if (line.empty()) return true;
  std::basic_string<Ch> field;
  bool inQuotes = false, closed = false, content = false;
  auto finish = [&] {
    if (!keepBlanks) trim(field, delim);
    fields.push_back(std::move(field));
    field.clear();
    inQuotes = closed = content = false;
  };
  for (std::size_t i = 0; i < line.size();) {
    const Ch ch = line[i];
    const std::size_t n = char_units(line, i);
    if (inQuotes) {
      if (ch == Ch('"')) {
        if (i + 1 < line.size() && line[i + 1] == Ch('"')) {
          field += Ch('"');
          i += 2;
          continue;
        }
        inQuotes = false;
        closed = true;
      } else {
        field.append(line.substr(i, n));
      }
    } else if (ch == delim) {
      finish();
    } else if (closed) {
      if (!is_blank(ch, delim)) return false;
    } else if (ch == Ch('"')) {
      if (content) return false;
      field.clear();   // the blanks before an opening quote are dropped
      inQuotes = true;
    } else {
      field.append(line.substr(i, n));
      if (!is_blank(ch, delim)) content = true;
    }
    i += n;
  }
  if (inQuotes) return false;
  finish();
  return true;
}

template <class Ch>
void append_field(std::basic_string<Ch>& out, std::basic_string_view<Ch> field, Ch delim, bool quoteAlways) {
  bool quote = quoteAlways;
  if (!field.empty() && (is_blank(field.front(), delim) || is_blank(field.back(), delim))) quote = true;
  for (std::size_t i = 0; i < field.size() && !quote; i += char_units(field, i)) {
    const Ch ch = field[i];
    if (ch == delim || ch == Ch('"') || ch == Ch('\r') || ch == Ch('\n')) quote = true;
  }
  if (!quote) {
    out.append(field);
    return;
  }
  out += Ch('"');
  for (std::size_t i = 0; i < field.size();) {
    const std::size_t n = char_units(field, i);
    if (field[i] == Ch('"')) out += Ch('"');
    out.append(field.substr(i, n));
    i += n;
  }
  out += Ch('"');
}

}  // namespace

bool parse_csv_line(std::string_view line, char delim, bool keepBlanks, std::vector<std::string>& fields) {
  return parse(line, delim, keepBlanks, fields);
}
bool parse_csv_line(std::u16string_view line, char16_t delim, bool keepBlanks,
                    std::vector<std::u16string>& fields) {
  return parse(line, delim, keepBlanks, fields);
}

void append_csv_field(std::string& out, std::string_view field, char delim, bool quoteAlways) {
  append_field(out, field, delim, quoteAlways);
}
void append_csv_field(std::u16string& out, std::u16string_view field, char16_t delim, bool quoteAlways) {
  append_field(out, field, delim, quoteAlways);
}

}  // namespace orv::text
