// The one rule by which a script's window name matches a window title, and the
// window-id text form. Platform-free: the finders on Windows call these.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::winauto {

// "~body" finds body anywhere, "~body~" at the end, "title~" the whole title,
// anything else (and any one-character pattern) a prefix. Case-sensitive.
// An empty title never matches.
template <class Ch>
bool title_matches(std::basic_string_view<Ch> title, std::basic_string_view<Ch> pattern) {
  if (title.empty()) return false;
  const std::size_t n = pattern.size();
  if (n >= 2 && pattern.front() == Ch('~')) {
    std::basic_string_view<Ch> body = pattern.substr(1);
    const bool anchored = body.size() >= 1 && body.back() == Ch('~');
    if (anchored) body.remove_suffix(1);
    if (!anchored) return title.find(body) != std::basic_string_view<Ch>::npos;
    return title.size() >= body.size() && title.substr(title.size() - body.size()) == body;
  }
  if (n >= 2 && pattern.back() == Ch('~')) return title == pattern.substr(0, n - 1);
  return title.size() >= n && title.substr(0, n) == pattern;
}

// "#WIN$ID#" + 8 upper-case hex digits.
inline constexpr std::string_view kWindowIdPrefix = "#WIN$ID#";
inline constexpr std::size_t kWindowIdLength = 16;

template <class Ch>
bool is_window_id(std::basic_string_view<Ch> text) {
  if (text.size() != kWindowIdLength) return false;
  for (std::size_t i = 0; i < kWindowIdPrefix.size(); ++i)
    if (text[i] != Ch(kWindowIdPrefix[i])) return false;
  return true;
}

// The handle value of an id text; nothing when the text is not an id or its
// last 8 characters are not hexadecimal.
template <class Ch>
std::optional<std::uint32_t> parse_window_id(std::basic_string_view<Ch> text) {
  if (!is_window_id(text)) return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = kWindowIdPrefix.size(); i < text.size(); ++i) {
    const auto ch = static_cast<std::uint32_t>(text[i]);
    std::uint32_t digit;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    else return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

std::string make_window_id(std::uint32_t handle);

}  // namespace orv::winauto
