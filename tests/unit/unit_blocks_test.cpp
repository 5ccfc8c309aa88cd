// The search for the first of three units, by 16-byte blocks where the
// processor has them: against a plain scan at every start and stop offset
// around the block edges, with units that only look like the ones sought.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "builtins/text/unit_blocks.h"

namespace orv::text {
namespace {

template <class Ch, Ch A, Ch B, Ch C>
const Ch* plain_any_of3(const Ch* p, const Ch* e) {
  while (p < e && *p != A && *p != B && *p != C) ++p;
  return p;
}

// Every range [from, to) of `text` up to three blocks long.
template <class Ch, Ch A, Ch B, Ch C>
void expect_every_range(const std::basic_string<Ch>& text, const char* what) {
  const Ch* base = text.data();
  for (std::size_t from = 0; from <= text.size(); ++from)
    for (std::size_t to = from; to <= text.size() && to - from <= 3 * 16 / sizeof(Ch) + 2; ++to) {
      const Ch* got = find_any_of3<Ch, A, B, C>(base + from, base + to);
      const Ch* want = plain_any_of3<Ch, A, B, C>(base + from, base + to);
      ASSERT_EQ(got - base, want - base) << what << " from " << from << " to " << to;
    }
}

// Each of A, B and C at every place among three blocks of each filler;
// then a second one after it, which must not be taken first.
template <class Ch, Ch A, Ch B, Ch C>
void check_each_place(const std::vector<Ch>& fillers) {
  constexpr std::size_t kUnits = 16 / sizeof(Ch);
  const Ch sought[] = {A, B, C};
  for (Ch filler : fillers) {
    // Nothing to find: the end is given back whatever the length.
    expect_every_range<Ch, A, B, C>(std::basic_string<Ch>(3 * kUnits + 3, filler), "none");
    for (std::size_t k = 0; k < 3; ++k)
      for (std::size_t at = 0; at < 3 * kUnits + 3; ++at) {
        std::basic_string<Ch> text(3 * kUnits + 3, filler);
        text[at] = sought[k];
        expect_every_range<Ch, A, B, C>(text, "one");
        if (at + 3 < text.size()) {
          text[at + 3] = sought[(k + 1) % 3];
          expect_every_range<Ch, A, B, C>(text, "two");
        }
      }
  }
}

// Line ends among units that are none of LF, CR, Ctrl-Z: a tab and a NUL are
// below the largest of them, high units above it, and in UTF-16 some share a
// byte with a line end.
TEST(UnitBlocks, FirstLineEndAtEveryOffsetIn8BitText) {
  check_each_place<char, '\n', '\r', 26>({'a', '\t', '\0', static_cast<char>(0xFF), static_cast<char>(0x8A), 25, 27});
}
TEST(UnitBlocks, FirstLineEndAtEveryOffsetInUtf16Text) {
  check_each_place<char16_t, u'\n', u'\r', 26>({u'a', u'\t', 0, 0xFF0A, 0x0A00, 0x0D0D, 0x1A1A, 0x8000, 25, 27});
}

// Units sought above the sign bit of a byte and of any size in UTF-16, among
// fillers on either side of them.
TEST(UnitBlocks, HighUnitsFoundAtEveryOffset) {
  check_each_place<char, 'x', 'y', static_cast<char>(0xFA)>({'z', static_cast<char>(0x7F), static_cast<char>(0xFF), 'a'});
  check_each_place<char16_t, u'x', char16_t(0xFFFF), char16_t(0x8000)>({0xFFFE, 0x7FFF, u'z', 0x0078});
}
// Units sought that are not all small (the quick rejection then lets most
// blocks through to the full compare), and random texts of mixed units.
TEST(UnitBlocks, AnyUnitsAgreeWithPlainScan) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string narrow;
    std::u16string wide;
    const int n = static_cast<int>(rng() % 70);
    const char pick[] = {'x', 'y', 'z', 'a', '\n', '\xFA', '\x7F', 'q'};
    const char16_t pickWide[] = {u'x', 0xFF78, 0x7800, u'a', u'\n', 0xFFFF, 0x4E2D, u'q'};
    for (int i = 0; i < n; ++i) {
      narrow += pick[rng() % 8];
      wide += pickWide[rng() % 8];
    }
    expect_every_range<char, 'x', 'y', static_cast<char>(0xFA)>(narrow, "narrow");
    expect_every_range<char16_t, u'x', char16_t(0xFFFF), char16_t(0x4E2D)>(wide, "wide");
  }
}

}  // namespace
}  // namespace orv::text
