#include "builtins/text/csv.h"

namespace orv::text {
namespace {

template <class Ch>
using Sv = std::basic_string_view<Ch>;

template <class Ch>
bool tab_delimited(Sv<Ch> delim) { return delim.size() == 1 && delim[0] == Ch('\t'); }

// Blanks do not count as content; with a TAB delimiter only the space does.
template <class Ch>
bool is_blank(Ch ch, bool tabDelim) { return ch == Ch(' ') || (ch == Ch('\t') && !tabDelim); }

template <class Ch>
bool is_delim(Sv<Ch> s, std::size_t i, std::size_t n, Sv<Ch> delim) {
  return n == delim.size() && s.compare(i, n, delim) == 0;
}

template <class Ch>
bool split(Sv<Ch> line, Sv<Ch> delim, std::vector<Span>& fields) {
  fields.clear();
  if (line.empty()) return true;
  const bool tab = tab_delimited(delim);
  bool inQuotes = false, content = false, closed = false;
  std::size_t begin = 0;
  for (std::size_t i = 0, n = 0; i < line.size(); i += n) {
    n = char_units(line, i);
    const Ch ch = line[i];
    if (inQuotes) {
      if (ch != Ch('"')) continue;
      if (i + 1 < line.size() && line[i + 1] == Ch('"')) ++i;
      else { inQuotes = false; closed = true; }
      continue;
    }
    if (is_delim(line, i, n, delim)) {
      fields.push_back({begin, i});
      begin = i + n;
      content = closed = false;
      continue;
    }
    if (is_blank(ch, tab)) continue;
    if (closed || (ch == Ch('"') && content)) return false;
    if (ch == Ch('"')) inQuotes = true;
    content = true;
  }
  if (inQuotes) return false;
  fields.push_back({begin, line.size()});
  return true;
}

template <class Ch>
std::basic_string<Ch> field_value(Sv<Ch> raw, Sv<Ch> delim, bool keepBlanks) {
  const bool tab = tab_delimited(delim);
  std::basic_string<Ch> out;
  std::size_t lead = 0;
  while (lead < raw.size() && is_blank(raw[lead], tab)) ++lead;
  if (lead < raw.size() && raw[lead] == Ch('"')) {
    for (std::size_t i = lead + 1; i < raw.size();) {
      const std::size_t n = char_units(raw, i);
      if (raw[i] == Ch('"')) {
        if (i + 1 >= raw.size() || raw[i + 1] != Ch('"')) break;
        ++i;  // a doubled quote stands for one
      }
      out.append(raw.substr(i, n));
      i += n;
    }
  } else {
    out.assign(raw);
  }
  if (!keepBlanks) {
    std::size_t b = 0, e = out.size();
    while (b < e && is_blank(out[b], tab)) ++b;
    while (e > b && is_blank(out[e - 1], tab)) --e;
    out = out.substr(b, e - b);
  }
  return out;
}

template <class Ch>
void append_field(std::basic_string<Ch>& out, Sv<Ch> field, Sv<Ch> delim, bool quoteAlways) {
  const bool tab = tab_delimited(delim);
  bool quote = quoteAlways;
  if (!field.empty() && (is_blank(field.front(), tab) || is_blank(field.back(), tab))) quote = true;
  for (std::size_t i = 0, n = 0; i < field.size() && !quote; i += n) {
    n = char_units(field, i);
    const Ch ch = field[i];
    if (is_delim(field, i, n, delim) || ch == Ch('"') || ch == Ch('\r') || ch == Ch('\n')) quote = true;
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

bool split_csv_line(std::string_view line, std::string_view delim, std::vector<Span>& fields) {
  return split(line, delim, fields);
}
bool split_csv_line(std::u16string_view line, std::u16string_view delim, std::vector<Span>& fields) {
  return split(line, delim, fields);
}

std::string csv_field(std::string_view raw, std::string_view delim, bool keepBlanks) {
  return field_value(raw, delim, keepBlanks);
}
std::u16string csv_field(std::u16string_view raw, std::u16string_view delim, bool keepBlanks) {
  return field_value(raw, delim, keepBlanks);
}

void append_csv_field(std::string& out, std::string_view field, std::string_view delim, bool quoteAlways) {
  append_field(out, field, delim, quoteAlways);
}
void append_csv_field(std::u16string& out, std::u16string_view field, std::u16string_view delim,
                      bool quoteAlways) {
  append_field(out, field, delim, quoteAlways);
}

}  // namespace orv::text
