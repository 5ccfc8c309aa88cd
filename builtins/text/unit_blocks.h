// Comparing 16 bytes of text with a unit at once (SSE2), for the searches
// that dominate their callers' time: the string searches of the string family
// and the line ends of the text-file reader. 32-bit builds may meet
// processors without these compares, so there the code is compiled for them
// function by function and used only when the processor says it has them.
#pragma once
#include <algorithm>
#include <cstddef>
#include <type_traits>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define ORV_BLOCK_SEARCH 1
#if defined(__SSE2__)
#define ORV_BLOCK_SEARCH_TARGET
#else
#define ORV_BLOCK_SEARCH_TARGET __attribute__((target("sse2")))
#endif
#endif

namespace orv::text {

#ifdef ORV_BLOCK_SEARCH
inline bool block_search_available() {
#if defined(__SSE2__)
  return true;
#else
  static const bool available = __builtin_cpu_supports("sse2");
  return available;
#endif
}

template <class Ch>
ORV_BLOCK_SEARCH_TARGET inline __m128i block_splat(Ch unit) {
  if constexpr (sizeof(Ch) == 1) return _mm_set1_epi8(static_cast<char>(unit));
  else return _mm_set1_epi16(static_cast<short>(unit));
}

// Which of the block's units at `at` equal `unit`, as a byte mask.
template <class Ch>
ORV_BLOCK_SEARCH_TARGET inline __m128i block_equal(const Ch* at, __m128i unit) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  if constexpr (sizeof(Ch) == 1) return _mm_cmpeq_epi8(block, unit);
  else return _mm_cmpeq_epi16(block, unit);
}

// Finding the first of three units A, B, C. Most blocks hold none of them,
// and when the three are small units (line ends, say) most hold no unit as
// small as the largest of them either: one unsigned subtraction that stops at
// 0 rules those out, two blocks at a time; the blocks it lets through are
// compared unit by unit.
template <class Ch, Ch A, Ch B, Ch C>
struct AnyOf3 {
  using Unsigned = std::make_unsigned_t<Ch>;   // the compares below are unsigned
  static constexpr Ch kMost = static_cast<Ch>(std::max({Unsigned(A), Unsigned(B), Unsigned(C)}));

  // The units of `block` no larger than the largest of the three, as a vector
  // of all-ones units.
  ORV_BLOCK_SEARCH_TARGET static __m128i small(__m128i block) {
    if constexpr (sizeof(Ch) == 1) return _mm_cmpeq_epi8(_mm_subs_epu8(block, block_splat(kMost)), _mm_setzero_si128());
    else return _mm_cmpeq_epi16(_mm_subs_epu16(block, block_splat(kMost)), _mm_setzero_si128());
  }
  // The units of `block` equal to A, B or C, as a byte mask (two bits per UTF-16 unit).
  ORV_BLOCK_SEARCH_TARGET static unsigned sought(__m128i block) {
    const __m128i a = block_splat(A), b = block_splat(B), c = block_splat(C);
    if constexpr (sizeof(Ch) == 1)
      return static_cast<unsigned>(_mm_movemask_epi8(
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, a), _mm_cmpeq_epi8(block, b)), _mm_cmpeq_epi8(block, c))));
    else
      return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi16(block, a), _mm_cmpeq_epi16(block, b)), _mm_cmpeq_epi16(block, c))));
  }
  ORV_BLOCK_SEARCH_TARGET static __m128i load(const Ch* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  // The mask of the one block at `at`.
  ORV_BLOCK_SEARCH_TARGET static unsigned in_block(const Ch* at) {
    const __m128i block = load(at);
    return _mm_movemask_epi8(small(block)) ? sought(block) : 0;
  }
};

// find_any_of3 by blocks, for ranges of at least one block: the last block
// is taken where it ends at `e`, overlapping units found free already.
template <class Ch, Ch A, Ch B, Ch C>
ORV_BLOCK_SEARCH_TARGET const Ch* find_any_of3_by_blocks(const Ch* p, const Ch* e) {
  using Units = AnyOf3<Ch, A, B, C>;
  constexpr std::size_t kUnits = 16 / sizeof(Ch);
  auto at_mask = [](const Ch* at, unsigned mask) { return at + static_cast<std::size_t>(__builtin_ctz(mask)) / sizeof(Ch); };
  for (; e - p >= static_cast<std::ptrdiff_t>(2 * kUnits); p += 2 * kUnits) {
    const __m128i low = Units::load(p), high = Units::load(p + kUnits);
    if (!_mm_movemask_epi8(_mm_or_si128(Units::small(low), Units::small(high)))) continue;
    if (const unsigned mask = Units::sought(low)) return at_mask(p, mask);
    if (const unsigned mask = Units::sought(high)) return at_mask(p + kUnits, mask);
  }
  const Ch* const last = e - kUnits;
  if (p <= last) {
    if (const unsigned mask = Units::in_block(p)) return at_mask(p, mask);
    p += kUnits;
  }
  if (p < e)
    if (const unsigned mask = Units::in_block(last)) return at_mask(last, mask);
  return e;
}
#endif

// The first unit in [p, e) that is A, B or C; e when there is none. (The
// units are fixed when compiled: the blocks of them are then constants.)
template <class Ch, Ch A, Ch B, Ch C>
inline const Ch* find_any_of3(const Ch* p, const Ch* e) {
#ifdef ORV_BLOCK_SEARCH
  if (static_cast<std::size_t>(e - p) >= 16 / sizeof(Ch) && block_search_available())
    return find_any_of3_by_blocks<Ch, A, B, C>(p, e);
#endif
  while (p < e && *p != A && *p != B && *p != C) ++p;
  return p;
}

}  // namespace orv::text
