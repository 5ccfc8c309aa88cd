#include "ui/chooser_text.h"

#include <cstdio>
#include <iterator>

#include "ui/boxes.h"

namespace orv::ui {

std::optional<std::u16string> file_filter(std::u16string_view types) {
  static constexpr char16_t kEveryFile[] = u"All files\0*.*\0";
  if (types.empty()) return std::u16string(kEveryFile, std::size(kEveryFile));   // with the closing NUL
  if (types.back() == u'|') types.remove_suffix(1);
  const std::vector<std::u16string> parts = split_items(types, u'|');
  if (parts.empty() || parts.size() % 2 != 0) return std::nullopt;
  std::u16string filter;
  for (const std::u16string& part : parts) {
    if (part.empty()) return std::nullopt;
    filter += part;
    filter += u'\0';
  }
  filter += u'\0';
  return filter;
}

std::vector<std::u16string> chosen_files(std::u16string_view answer) {
  std::vector<std::u16string> parts;
  while (!answer.empty() && answer.front() != u'\0') {
    const std::size_t end = answer.find(u'\0');
    parts.emplace_back(answer.substr(0, end));
    if (end == std::u16string_view::npos) break;
    answer.remove_prefix(end + 1);
  }
  if (parts.size() <= 1) return parts;
  std::u16string folder = parts.front();
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  std::vector<std::u16string> files;
  for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

std::optional<std::string> colour_answer(std::uint8_t r, std::uint8_t g, std::uint8_t b, int format) {
  char text[32];
  switch (format) {
    case 0: std::snprintf(text, sizeof text, "%u|%u|%u", r, g, b); return std::string(text);
    case 1: std::snprintf(text, sizeof text, "H%02X%02X%02X", r, g, b); return std::string(text);
    case 2: return std::to_string(static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
                                  static_cast<std::uint32_t>(b) << 16);
    default: return std::nullopt;
  }
}

namespace {

std::optional<int> font_number(std::string_view s, int low, int high) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  int v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return std::nullopt;
    v = v * 10 + (ch - '0');
  }
  if (v < low || v > high) return std::nullopt;
  return v;
}

constexpr int kFontFaceMax = 31, kPointsMax = 1638, kStrikeOut = 10000, kUnderline = 1000, kItalic = 100;

}  // namespace

std::optional<FontChoice> parse_font_choice(std::string_view text) {
  FontChoice f;
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t bar = text.find('|');
    fields.push_back(text.substr(0, bar));
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  if (fields.size() > 4 || fields[0].size() > kFontFaceMax) return std::nullopt;
  f.face = std::string(fields[0]);
  if (fields.size() > 1) {
    const auto points = font_number(fields[1], 0, kPointsMax);
    if (!points) return std::nullopt;
    f.points = *points;
  }
  if (fields.size() > 2) {
    auto style = font_number(fields[2], 0, kStrikeOut + kUnderline + kItalic + 99);
    if (!style) return std::nullopt;
    int s = *style;
    if (s >= kStrikeOut) { f.strikeOut = true; s -= kStrikeOut; }
    if (s >= kUnderline) { f.underline = true; s -= kUnderline; }
    if (s >= kItalic) { f.italic = true; s -= kItalic; }
    if (s != 0) f.weight = s * 10;
  }
  if (fields.size() > 3) {
    const auto charSet = font_number(fields[3], 0, 255);
    if (!charSet) return std::nullopt;
    f.charSet = *charSet;
  }
  return f;
}

std::optional<std::string> font_answer(const FontChoice& f, int format) {
  if (format == 1) return f.face;
  if (format != 0) return std::nullopt;
  const int style = f.weight / 10 + (f.italic ? kItalic : 0) + (f.underline ? kUnderline : 0) +
                    (f.strikeOut ? kStrikeOut : 0);
  return f.face + "|" + std::to_string(f.points) + "|" + std::to_string(style) + "|" + std::to_string(f.charSet);
}

}  // namespace orv::ui
