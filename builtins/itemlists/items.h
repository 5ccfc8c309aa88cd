// Item lists: items separated by a one-character delimiter (tab when the
// delimiter argument is empty). Splitting walks the list once and keeps unit
// ranges, so every list function is linear in the list's length.
#pragma once
#include <cstddef>
#include <optional>
#include <vector>

#include "builtins/strings/text.h"

namespace orv::items {

using strings::Str;
using strings::Sv;

// The delimiter of argument k; false with 1705 when it is longer than one character.
template <class Ch>
bool read_delimiter(Call& call, int k, Str<Ch>& delim);

// Unit ranges [begin, end) of the items; an empty list has none.
struct Span {
  std::size_t begin = 0, end = 0;
};
template <class Ch>
std::vector<Span> split(Sv<Ch> list, Sv<Ch> delim);

template <class Ch>
Sv<Ch> item_text(Sv<Ch> list, const Span& s) { return list.substr(s.begin, s.end - s.begin); }

// 0-based item for a 1-based index (-1: the last); nullopt when out of range.
std::optional<std::size_t> resolve_index(std::int32_t index, std::size_t count);

// Joins items with the delimiter, sized before it is built.
template <class Ch>
Str<Ch> join(const std::vector<Sv<Ch>>& items, Sv<Ch> delim);

}  // namespace orv::items
