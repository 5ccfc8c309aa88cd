#include "ui/dialogs/report_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "builtins/arrays/logical_compare.h"

namespace orv::dialogs {

namespace {

template <typename Ch>
std::vector<std::basic_string<Ch>> split_on_tab(std::basic_string_view<Ch> text) {
  std::vector<std::basic_string<Ch>> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(Ch('\t'), start);
    out.emplace_back(text.substr(start, at == std::basic_string_view<Ch>::npos ? std::basic_string_view<Ch>::npos : at - start));
    if (at == std::basic_string_view<Ch>::npos) return out;
    start = at + 1;
  }
}

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A decimal number with optional sign, fraction and exponent, spaces around.
std::optional<double> cell_number(std::u16string_view cell) {
  std::string ascii;
  for (char16_t ch : cell) {
    if (ch > 0x7F) return std::nullopt;
    ascii += static_cast<char>(ch);
  }
  const std::string_view t = trim_blanks(ascii);
  if (t.empty()) return std::nullopt;
  std::size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  bool digits = false;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; digits = true; }
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) { ++i; digits = true; }
  }
  if (!digits) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == t.size() || !std::isdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  }
  if (i != t.size()) return std::nullopt;
  const double v = std::strtod(std::string(t).c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

char16_t fold(char16_t ch) { return ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - 32) : ch; }

bool blank(std::u16string_view s) {
  for (char16_t ch : s)
    if (ch != u' ' && ch != u'\t') return false;
  return true;
}

std::string colour_text(const std::optional<Colour>& c) {
  if (!c) return "DEFAULT";
  return std::to_string(c->r) + "|" + std::to_string(c->g) + "|" + std::to_string(c->b);
}

}  // namespace

std::vector<std::u16string> split_tabs(std::u16string_view text) { return split_on_tab(text); }
std::vector<std::string> split_tabs(std::string_view text) { return split_on_tab(text); }

std::optional<std::int32_t> parse_column_width(std::string_view text) {
  const auto v = parse_integer(trim_blanks(text));
  if (!v || *v < kFitHeading || *v > kWidthMax) return std::nullopt;
  return v;
}

bool parse_column_format(std::string_view text, ColumnFormat& inOut) {
  ColumnFormat f = inOut;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(" |\t", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    if (same_word(word, "LEFT")) f.align = Align::left;
    else if (same_word(word, "RIGHT")) f.align = Align::right;
    else if (same_word(word, "CENTER")) f.align = Align::center;
    else if (same_word(word, "TEXT")) f.sort = SortKind::text;
    else if (same_word(word, "NUMBER")) f.sort = SortKind::number;
    else if (same_word(word, "LOGICAL")) f.sort = SortKind::logical;
    else return false;
  }
  inOut = f;
  return true;
}

std::string column_format_text(const ColumnFormat& f) {
  const char* align = f.align == Align::left ? "LEFT" : f.align == Align::right ? "RIGHT" : "CENTER";
  const char* sort = f.sort == SortKind::text ? "TEXT" : f.sort == SortKind::number ? "NUMBER" : "LOGICAL";
  return std::string(align) + " " + sort;
}

std::optional<RowColours> parse_row_colours(std::string_view text) {
  RowColours out;
  const std::size_t comma = text.find(',');
  const std::string_view first = trim_blanks(text.substr(0, comma));
  const std::string_view second =
      comma == std::string_view::npos ? std::string_view() : trim_blanks(text.substr(comma + 1));
  if (comma != std::string_view::npos && second.find(',') != std::string_view::npos) return std::nullopt;
  auto one = [](std::string_view item, std::optional<Colour>& slot) {
    if (item.empty() || is_default_word(item)) return true;
    slot = parse_colour(item);
    return slot.has_value();
  };
  if (first.empty() && comma == std::string_view::npos) return std::nullopt;
  if (!one(first, out.text) || !one(second, out.background)) return std::nullopt;
  return out;
}

std::string row_colours_text(const RowColours& c) { return colour_text(c.text) + "," + colour_text(c.background); }

std::optional<int> compare_cells(std::u16string_view a, std::u16string_view b, SortKind kind) {
  switch (kind) {
    case SortKind::text: {
      // Letters of either case together; the exact text breaks ties.
      const std::size_t n = std::min(a.size(), b.size());
      for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = fold(a[i]), y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
      }
      if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
      return a < b ? -1 : (b < a ? 1 : 0);
    }
    case SortKind::logical:
      return arrays::logical_compare(a, b);
    case SortKind::number: {
      // Empty cells come before every number.
      const bool ea = blank(a), eb = blank(b);
      if (ea || eb) return static_cast<int>(eb) - static_cast<int>(ea);
      const auto x = cell_number(a), y = cell_number(b);
      if (!x || !y) return std::nullopt;
      return *x < *y ? -1 : (*y < *x ? 1 : 0);
    }
  }
  return std::nullopt;
}

}  // namespace orv::dialogs
