// Finding a run of units in a text: what StrIndex, StrCnt and StrReplace
// spend their time on. A needle of two or more units skips ahead by the
// units it does not hold (a shift table by the unit's low byte), so a
// search reads a fraction of the text's units instead of stopping at every
// copy of the needle's first unit.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace orv::strings {

// The shift table costs a fill; below these sizes a plain scan is quicker.
inline constexpr std::size_t kSkipSearchFromHay = 32;

// The unit offset of the first occurrence of sub at or after `from` (no
// character boundaries considered); npos when none. Empty `sub` is found at
// `from` when from <= hay.size(), as std::basic_string_view::find does.
template <class Ch>
std::size_t find_units(std::basic_string_view<Ch> hay, std::basic_string_view<Ch> sub, std::size_t from) {
  using View = std::basic_string_view<Ch>;
  const std::size_t n = hay.size(), m = sub.size();
  if (m < 2 || from > n || n - from < kSkipSearchFromHay) return hay.find(sub, from);
  if (m > n - from) return View::npos;
  // shift[b]: how far the window may move when its last unit has low byte b.
  // Units that share a low byte share the smallest shift, which stays safe;
  // long needles shift by at most 255.
  const std::size_t last = m - 1;
  const std::uint8_t most = last < 255 ? static_cast<std::uint8_t>(m) : std::uint8_t{255};
  std::array<std::uint8_t, 256> shift;
  std::memset(shift.data(), most, shift.size());
  for (std::size_t i = last > 254 ? last - 254 : 0; i < last; ++i)
    shift[static_cast<std::uint8_t>(sub[i])] = static_cast<std::uint8_t>(last - i);
  const Ch* s = hay.data();
  const Ch* p = sub.data();
  const Ch tail = p[last];
  for (std::size_t at = from; at + last < n;) {
    const Ch unit = s[at + last];
    if (unit == tail) {
      // Needles are mostly short: compared here rather than by a call.
      std::size_t k = 0;
      while (k < last && s[at + k] == p[k]) ++k;
      if (k == last) return at;
    }
    at += shift[static_cast<std::uint8_t>(unit)];
  }
  return View::npos;
}

}  // namespace orv::strings
