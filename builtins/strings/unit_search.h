// Finding a run of units in a text: what StrIndex, StrCnt and StrReplace
// spend their time on. Short needles are found by comparing three of their
// units with a block of the text at once (16 bytes per step), so only the
// rare places where all three agree are compared in full. Long needles, and
// processors without the block compares, skip ahead by the units the needle
// does not hold (a shift table by the unit's low byte).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "builtins/text/unit_blocks.h"

namespace orv::strings {

// The shift table costs a fill; below these sizes a plain scan is quicker.
inline constexpr std::size_t kSkipSearchFromHay = 32;

#ifdef ORV_BLOCK_SEARCH
// Needles up to this many units go by blocks; longer ones skip further.
inline constexpr std::size_t kBlockSearchUpTo = 32;

using text::block_equal;
using text::block_search_available;
using text::block_splat;

// The block search proper: 2 <= m <= kBlockSearchUpTo and at least one
// step's worth of windows from `from` (n - from >= m - 1 + units per step).
// Each step compares the needle's first, middle and last units with the
// windows starting at 32 bytes' worth of offsets, two blocks of 16; bit
// pairs in the mask of UTF-16 compares stand for one unit.
template <class Ch>
ORV_BLOCK_SEARCH_TARGET std::size_t find_by_blocks(const Ch* s, std::size_t n, const Ch* p, std::size_t m,
                                                   std::size_t from) {
  constexpr std::size_t kUnits = 16 / sizeof(Ch), kStep = 2 * kUnits;
  const std::size_t last = m - 1, mid = last / 2;
  const __m128i first = block_splat(p[0]), middle = block_splat(p[mid]), tail = block_splat(p[last]);
  const std::size_t lastStart = n - last - kStep;   // the final step's first window
  for (std::size_t at = from;;) {
    // The final step may overlap windows the one before looked at in vain.
    const std::size_t base = at < lastStart ? at : lastStart;
    const Ch* const w = s + base;
    const __m128i low = _mm_and_si128(_mm_and_si128(block_equal(w, first), block_equal(w + mid, middle)),
                                      block_equal(w + last, tail));
    const __m128i high = _mm_and_si128(
        _mm_and_si128(block_equal(w + kUnits, first), block_equal(w + kUnits + mid, middle)),
        block_equal(w + kUnits + last, tail));
    std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
                         static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16;
    if constexpr (sizeof(Ch) == 2) mask &= 0x55555555u;
    while (mask) {
      const std::size_t start = base + static_cast<std::size_t>(__builtin_ctz(mask)) / sizeof(Ch);
      std::size_t k = 1;
      while (k < last && s[start + k] == p[k]) ++k;
      if (k >= last) return start;
      mask &= mask - 1;
    }
    if (base == lastStart) return std::basic_string_view<Ch>::npos;
    at = base + kStep;
  }
}
#endif

// The unit offset of the first occurrence of sub at or after `from` (no
// character boundaries considered); npos when none. Empty `sub` is found at
// `from` when from <= hay.size(), as std::basic_string_view::find does.
template <class Ch>
std::size_t find_units(std::basic_string_view<Ch> hay, std::basic_string_view<Ch> sub, std::size_t from) {
  using View = std::basic_string_view<Ch>;
  const std::size_t n = hay.size(), m = sub.size();
  if (m < 2 || from > n || n - from < kSkipSearchFromHay) return hay.find(sub, from);
  if (m > n - from) return View::npos;
#ifdef ORV_BLOCK_SEARCH
  if (m <= kBlockSearchUpTo && n - from >= m - 1 + 32 / sizeof(Ch) && block_search_available())
    return find_by_blocks(hay.data(), n, sub.data(), m, from);
#endif
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
