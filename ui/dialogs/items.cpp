// The value syntax inside dialog definitions: items, numbers, colours, fonts
// and styles. Every parser answers "none" for bad text; the reader picks the
// error number, because the same colour is a different error in each field.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/error_numbers.h"
#include "engine/keyword_table.h"
#include "ui/dialogs/definition.h"

namespace orv::dialogs {

namespace {

bool blank(char ch) { return ch == ' ' || ch == '\t'; }

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = s.find(sep);
    parts.push_back(s.substr(0, at));
    if (at == std::string_view::npos) return parts;
    s.remove_prefix(at + 1);
  }
}

// A plain decimal number that fits 32 bits (a leading sign allowed).
std::optional<std::int64_t> decimal(std::string_view s, std::int64_t limit) {
  s = trim_blanks(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  std::int64_t v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return std::nullopt;
    v = v * 10 + (ch - '0');
    if (v > limit) return std::nullopt;
  }
  return negative ? -v : v;
}

}  // namespace

bool is_default_word(std::string_view item) { return lower(trim_blanks(item)) == "default"; }

std::optional<std::int32_t> parse_integer(std::string_view text) {
  auto v = decimal(text, 0x7FFFFFFFLL);
  if (!v) return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

std::string ItemReader::next(bool textField, bool itemBoxText, bool* quoted) {
  std::string item;
  std::size_t keep = 0;   // length up to the last character that stood in quotes
  bool inQuotes = false, anyQuote = false;
  while (pos_ < s_.size() && blank(s_[pos_])) ++pos_;
  for (; pos_ < s_.size(); ++pos_) {
    const char ch = s_[pos_];
    if (ch == '"') {
      if (inQuotes && textField && pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
        item += '"';
        keep = item.size();
        ++pos_;
        continue;
      }
      inQuotes = !inQuotes;
      anyQuote = true;
      keep = item.size();
      continue;
    }
    if (ch == ',' && !inQuotes) break;
    if (ch == '\t' && !(inQuotes && itemBoxText)) continue;
    item += ch;
    if (inQuotes) keep = item.size();
  }
  if (pos_ < s_.size()) ++pos_;   // the separator: another item follows, perhaps empty
  else done_ = true;
  while (item.size() > keep && item.back() == ' ') item.pop_back();
  if (quoted) *quoted = anyQuote;
  return item;
}

std::optional<Colour> parse_colour(std::string_view text) {
  text = trim_blanks(text);
  if (!text.empty() && (text.front() == 'H' || text.front() == 'h') && text.find('|') == std::string_view::npos) {
    std::string_view digits = text.substr(1);
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    std::uint32_t v = 0;
    for (char ch : digits) {
      if (!std::isxdigit(static_cast<unsigned char>(ch))) return std::nullopt;
      v = v * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : (std::tolower(ch) - 'a' + 10));
    }
    return Colour{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
  }
  const auto parts = split(text, '|');
  if (parts.size() != 3) return std::nullopt;
  std::uint8_t rgb[3];
  for (std::size_t k = 0; k < 3; ++k) {
    const auto v = decimal(parts[k], 255);
    if (!v || *v < 0) return std::nullopt;
    rgb[k] = static_cast<std::uint8_t>(*v);
  }
  return Colour{rgb[0], rgb[1], rgb[2]};
}

std::optional<Font> parse_font(std::string_view text) {
  const auto parts = split(trim_blanks(text), '|');
  if (parts.size() > 4) return std::nullopt;
  Font f;
  f.face = std::string(trim_blanks(parts[0]));
  if (f.face.size() > kFontFaceMax) return std::nullopt;
  // An empty numeric field keeps its default; anything else must be a number.
  auto number = [&](std::size_t k, std::int32_t& out) {
    if (k >= parts.size() || trim_blanks(parts[k]).empty()) return true;
    const auto v = parse_integer(parts[k]);
    if (v) out = *v;
    return v.has_value();
  };
  std::int32_t style = 40, pitch = 0;
  if (!number(1, f.size) || !number(2, style) || !number(3, pitch)) return std::nullopt;
  if (style > 10000) { f.strikeOut = true; style -= 10000; }
  if (style > 1000) { f.underline = true; style -= 1000; }
  if (style >= 101) { f.italic = true; style -= 100; }
  f.weight = std::clamp(style * 10, 0, 1000);
  f.pitchFamily = static_cast<std::uint8_t>(pitch & 0xFF);
  f.charSet = static_cast<std::uint8_t>((pitch >> 8) & 0xFF);
  return f;
}

std::optional<std::uint32_t> parse_style(std::string_view text) {
  text = trim_blanks(text);
  if (text.empty()) return std::nullopt;
  if (const auto v = parse_integer(text)) return static_cast<std::uint32_t>(*v);
  std::uint32_t bits = 0;
  for (std::string_view part : split(text, '|')) {
    const std::string name = lower(trim_blanks(part));
    if (name.empty() || name.size() > kStyleNameMax) return std::nullopt;
    for (char ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '@' && ch != '_') return std::nullopt;
    const auto* end = kKeywords + kKeywordCount;
    const auto* it = std::lower_bound(kKeywords, end, name, [](const api::KeywordRecord& r, const std::string& n) {
      return std::strcmp(r.name, n.c_str()) < 0;
    });
    if (it == end || name != it->name || it->kind != 3) return std::nullopt;
    if (is_float_constant_word(it->counts) || is_string_constant_word(it->counts)) return std::nullopt;
    bits |= it->counts;
  }
  return bits;
}

int type_number(std::string_view word, int version) {
  static constexpr std::string_view kWords[] = {
      "", "statictext", "editbox", "radiobutton", "checkbox", "varytext", "filelistbox", "pushbutton", "itembox",
      "picturebutton", "picture", "droplistbox", "multilinebox", "groupbox", "calendar", "spinner", "comcontrol",
      "menubar", "menuitem", "reportview", "datetime"};
  const std::string w = lower(trim_blanks(word));
  int found = w == "calender" ? kCalendar : 0;
  for (int k = 1; k <= kDateTime && !found; ++k)
    if (w == kWords[k]) found = k;
  if (version == 62) return found;
  if (version == 61) return found >= kMenuBar ? 0 : found;
  // The legacy formats know only the first button, box and text types.
  switch (found) {
    case kPushButton: case kCheckBox: case kEditBox: case kFileListBox: case kItemBox: case kRadioButton:
    case kStaticText: case kVaryText:
      return found;
    default:
      return 0;
  }
}

std::uint16_t parse_spin_range(std::string_view range, std::string_view preset, SpinRange& out) {
  std::vector<std::int32_t> numbers;
  for (std::string_view part : split(range, '|')) {
    const auto n = parse_integer(trim_blanks(part));
    if (!n) return errs::kDialogBadSpinnerRange;
    numbers.push_back(*n);
  }
  if (numbers.size() < 2 || numbers.size() > 3) return errs::kDialogBadSpinnerRange;
  out.low = std::min(numbers[0], numbers[1]);
  out.high = std::max(numbers[0], numbers[1]);
  out.step = numbers.size() == 3 ? numbers[2] : 1;
  if (out.step <= 0) return errs::kDialogBadSpinnerRange;
  // The up-down control counts in signed 32 bits, span included.
  if (static_cast<std::int64_t>(out.high) - out.low > 0x7FFFFFFF) return errs::kDialogSpinnerRangeTooLarge;
  const std::string_view p = trim_blanks(preset);
  if (p.empty() || is_default_word(p)) {
    out.position = out.low;
    return 0;
  }
  const auto at = parse_integer(p);
  if (!at) return errs::kDialogBadSpinnerValue;
  out.position = std::clamp(*at, out.low, out.high);
  return 0;
}

}  // namespace orv::dialogs
