// Item lists: strings whose items are separated by one delimiter character
// (TAB when the delimiter argument is empty). Shared by the item-list and
// array families. Splitting walks the list once and keeps unit ranges, so
// every list function is linear in the list's length.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/text/units.h"

namespace orv::text {

inline constexpr char16_t kTab = u'\t';

// The delimiter named by an argument: empty means TAB, otherwise exactly one
// character (a double-byte ANSI character is two units). False when the
// argument is longer (the caller's error, usually 1705). The view is the
// argument itself or a static TAB, so it lives as long as the argument.
template <class Ch>
bool item_delimiter(std::basic_string_view<Ch> arg, std::basic_string_view<Ch>& out) {
  static constexpr Ch kTabText[1] = {static_cast<Ch>(kTab)};
  if (arg.empty()) {
    out = std::basic_string_view<Ch>(kTabText, 1);
    return true;
  }
  if (char_units(arg, 0) != arg.size()) return false;
  out = arg;
  return true;
}
template <class Ch>
bool item_delimiter(std::basic_string_view<Ch> arg, std::basic_string<Ch>& out) {
  std::basic_string_view<Ch> view;
  if (!item_delimiter(arg, view)) return false;
  out = std::basic_string<Ch>(view);
  return true;
}

// Unit range [begin, end) of an item or field.
struct Span {
  std::size_t begin = 0, end = 0;
};

template <class Ch>
std::basic_string_view<Ch> span_text(std::basic_string_view<Ch> s, const Span& sp) {
  return s.substr(sp.begin, sp.end - sp.begin);
}

// Walks the delimiters of a list in order: `at(offset)` gets the unit offset
// of each and returns false to stop. Only a whole character equal to the
// delimiter counts; ASCII units are never part of a double-byte character's
// lead, so they are stepped over without asking the code page.
template <class Ch, class At>
void each_delimiter_by_char(std::basic_string_view<Ch> list, std::basic_string_view<Ch> delim, At at) {
  const bool single = delim.size() == 1;
  for (std::size_t i = 0; i < list.size();) {
    const Ch ch = list[i];
    if (single && (sizeof(Ch) == 2 || static_cast<unsigned char>(ch) < 0x80)) {
      if (ch == delim[0] && !at(i)) return;
      ++i;
      continue;
    }
    const std::size_t n = char_units(list, i);
    if (n == delim.size() && list.compare(i, n, delim) == 0 && !at(i)) return;
    i += n;
  }
}

// The same walk. In a single-byte code page every byte is a character, so a
// one-byte delimiter is found by memchr; otherwise byte by byte, as trail
// bytes of double-byte characters may equal it.
template <class Ch, class At>
void each_delimiter(std::basic_string_view<Ch> list, std::basic_string_view<Ch> delim, At at) {
  if constexpr (sizeof(Ch) == 1) {
    if (delim.size() == 1 && !code_page_has_lead_bytes()) {
      const char* const base = list.data();
      const char* const end = base + list.size();
      for (const char* p = base; p != end;) {
        const void* hit = std::memchr(p, delim[0], static_cast<std::size_t>(end - p));
        if (!hit) return;
        p = static_cast<const char*>(hit);
        if (!at(static_cast<std::size_t>(p - base))) return;
        ++p;
      }
      return;
    }
  }
  each_delimiter_by_char(list, delim, at);
}

// Eight bytes at a time for the counting walks below: the bytes of the word
// at `p` equal to the byte repeated in `pattern`, as the high bit of each.
inline std::uint64_t equal_bytes_of_word(const char* p, std::uint64_t pattern) {
  static_assert(std::endian::native == std::endian::little, "the first byte is the word's lowest");
  constexpr std::uint64_t k7F = 0x7F7F7F7F7F7F7F7Full;
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  const std::uint64_t x = word ^ pattern;
  return ~(((x & k7F) + k7F) | x | k7F);   // exact: no carry crosses a byte
}
// How many bytes such a word of high bits names (a multiply sums them into
// the top byte; no popcount instruction is assumed).
inline std::size_t equal_byte_count(std::uint64_t hits) {
  return static_cast<std::size_t>(((hits >> 7) * 0x0101010101010101ull) >> 56);
}

// True when the walk may count bytes: every byte is a character and the
// delimiter is one of them.
template <class Ch>
bool delimiter_is_a_byte(std::basic_string_view<Ch> delim) {
  if constexpr (sizeof(Ch) == 1) return delim.size() == 1 && !code_page_has_lead_bytes();
  else return false;
}

// How many delimiters the list holds.
template <class Ch>
std::size_t count_delimiters(std::basic_string_view<Ch> list, std::basic_string_view<Ch> delim) {
  std::size_t n = 0;
  if constexpr (sizeof(Ch) == 1) {
    if (delimiter_is_a_byte(delim)) {
      const std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(delim[0]);
      std::size_t i = 0;
      for (; i + 8 <= list.size(); i += 8) n += equal_byte_count(equal_bytes_of_word(list.data() + i, pattern));
      for (; i < list.size(); ++i) n += list[i] == delim[0];
      return n;
    }
  }
  each_delimiter(list, delim, [&](std::size_t) { ++n; return true; });
  return n;
}

// Unit offset of delimiter `k` (1-based, k >= 1); npos when there are fewer.
template <class Ch>
std::size_t nth_delimiter(std::basic_string_view<Ch> list, std::basic_string_view<Ch> delim, std::size_t k) {
  if constexpr (sizeof(Ch) == 1) {
    if (delimiter_is_a_byte(delim)) {
      const std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(delim[0]);
      std::size_t i = 0;
      for (; i + 8 <= list.size(); i += 8) {
        std::uint64_t hits = equal_bytes_of_word(list.data() + i, pattern);
        const std::size_t count = equal_byte_count(hits);
        if (count < k) { k -= count; continue; }
        while (--k) hits &= hits - 1;   // drop the hits before the one sought
        return i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
      }
      for (; i < list.size(); ++i)
        if (list[i] == delim[0] && --k == 0) return i;
      return std::basic_string_view<Ch>::npos;
    }
  }
  std::size_t found = std::basic_string_view<Ch>::npos;
  each_delimiter(list, delim, [&](std::size_t at) {
    if (--k) return true;
    found = at;
    return false;
  });
  return found;
}

// The items of a list in order; an empty list has none. Only a whole
// character equal to the delimiter splits: in ANSI text a byte of a
// double-byte character never does.
std::vector<Span> split_items(std::string_view list, std::string_view delim);
std::vector<Span> split_items(std::u16string_view list, std::u16string_view delim);

// 0-based item for a 1-based index (-1: the last); nullopt when out of range.
std::optional<std::size_t> resolve_index(std::int32_t index, std::size_t count);

// Joins items with the delimiter, sized before it is built.
std::string join_items(const std::vector<std::string_view>& items, std::string_view delim);
std::u16string join_items(const std::vector<std::u16string_view>& items, std::u16string_view delim);

}  // namespace orv::text
