#include "builtins/system/system_text.h"

#include <algorithm>

namespace orv::system {
namespace {

bool is_blank(char16_t ch) { return ch == u' ' || ch == u'\t'; }
bool is_separator(char16_t ch) { return ch == u'\\' || ch == u'/'; }
bool is_list_delimiter(char16_t ch) { return is_blank(ch) || ch == u',' || ch == u';' || ch == u'|'; }

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<char> parse_drive(std::u16string_view text) {
  const std::u16string_view s = trimmed(text);
  if (s.empty() || s.size() > 3) return std::nullopt;
  char16_t letter = s[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - 32);
  if (letter < u'A' || letter > u'Z') return std::nullopt;
  if (s.size() >= 2 && s[1] != u':') return std::nullopt;
  if (s.size() == 3 && !is_separator(s[2])) return std::nullopt;
  return static_cast<char>(letter);
}

DriveList parse_drive_list(std::u16string_view text) {
  DriveList out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (is_list_delimiter(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !is_list_delimiter(text[end])) ++end;
    const std::u16string_view item = text.substr(i, end - i);
    const auto letter = parse_drive(item);
    if (!letter) {
      out.letters.clear();
      out.bad = std::u16string(item);
      return out;
    }
    if (std::find(out.letters.begin(), out.letters.end(), *letter) == out.letters.end()) out.letters.push_back(*letter);
    i = end;
  }
  return out;
}

std::u16string drive_root(char letter) { return {static_cast<char16_t>(letter), u':', u'\\'}; }

std::optional<std::u16string> volume_root(std::u16string_view text) {
  if (const auto letter = parse_drive(text)) return drive_root(*letter);
  std::u16string_view s = trimmed(text);
  if (s.size() < 2 || !is_separator(s[0]) || !is_separator(s[1])) return std::nullopt;
  s.remove_prefix(2);
  if (!s.empty() && is_separator(s.back())) s.remove_suffix(1);
  // Exactly a server and a share, neither empty.
  const auto cut = std::find_if(s.begin(), s.end(), is_separator);
  if (cut == s.begin() || cut == s.end() || cut + 1 == s.end()) return std::nullopt;
  if (std::find_if(cut + 1, s.end(), is_separator) != s.end()) return std::nullopt;
  const auto hasBadCharacter = [](char16_t ch) { return ch < u' ' || ch == u':' || ch == u'*' || ch == u'?'; };
  if (std::any_of(s.begin(), s.end(), hasBadCharacter)) return std::nullopt;
  std::u16string root = u"\\\\";
  root.append(s.begin(), cut);
  root += u'\\';
  root.append(cut + 1, s.end());
  root += u'\\';
  return root;
}

std::string group_thousands(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string serial_text(std::uint32_t serial) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(9, '-');
  for (int i = 0, pos = 0; i < 8; ++i, ++pos) {
    if (i == 4) ++pos;
    out[static_cast<std::size_t>(pos)] = kHex[(serial >> (28 - 4 * i)) & 0xF];
  }
  return out;
}

bool environment_name_ok(std::u16string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char16_t ch) { return ch == u'=' || ch == 0; });
}

std::u16string environment_lines(const std::vector<std::u16string>& entries) {
  std::u16string out;
  for (const std::u16string& e : entries) {
    if (e.empty() || e[0] == u'=') continue;
    if (!out.empty()) out += u'\n';
    out += e;
  }
  return out;
}

}  // namespace orv::system
