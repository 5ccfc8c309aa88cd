#include "builtins/itemlists/csv.h"

namespace orv::items::csv {
namespace {

constexpr char32_t kQuote = U'"';

// Blanks are space and tab, only space when tab is the delimiter.
bool is_blank(char32_t c, char32_t delim) { return c == U' ' || (c == U'\t' && delim != U'\t'); }

}  // namespace

bool valid_delimiter(char32_t d) { return d != U' ' && d != kQuote && d != U'\r' && d != U'\n'; }

std::optional<std::vector<Field>> split(std::u32string_view line, char32_t delim) {
  std::vector<Field> fields;
  if (line.empty()) return fields;
  bool inQuotes = false, content = false, closed = false;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char32_t c = line[i];
    if (inQuotes) {
      if (c != kQuote) continue;
      if (i + 1 < line.size() && line[i + 1] == kQuote) ++i;
      else { inQuotes = false; closed = true; }
      continue;
    }
    if (c == delim) {
      fields.push_back({begin, i});
      begin = i + 1;
      content = closed = false;
      continue;
    }
    if (is_blank(c, delim)) continue;
    if (closed || (c == kQuote && content)) return std::nullopt;
    if (c == kQuote) inQuotes = true;
    content = true;
  }
  if (inQuotes) return std::nullopt;
  fields.push_back({begin, line.size()});
  return fields;
}

std::u32string value(std::u32string_view line, const Field& f, char32_t delim, bool keepBlanks) {
  std::u32string_view raw = line.substr(f.begin, f.end - f.begin);
  std::u32string out;
  std::size_t lead = 0;
  while (lead < raw.size() && is_blank(raw[lead], delim)) ++lead;
  if (lead < raw.size() && raw[lead] == kQuote) {
    for (std::size_t i = lead + 1; i < raw.size(); ++i) {
      if (raw[i] == kQuote) {
        if (i + 1 < raw.size() && raw[i + 1] == kQuote) ++i;
        else break;
      }
      out.push_back(raw[i]);
    }
  } else {
    out.assign(raw);
  }
  if (!keepBlanks) {
    std::size_t b = 0, e = out.size();
    while (b < e && is_blank(out[b], delim)) ++b;
    while (e > b && is_blank(out[e - 1], delim)) --e;
    out = out.substr(b, e - b);
  }
  return out;
}

}  // namespace orv::items::csv
