// The skipping search behind StrIndex, StrCnt and StrReplace finds exactly
// what a plain scan finds: every start offset, needles that repeat their own
// units, needles longer than the largest shift, and UTF-16 units that share
// a low byte with other units of the needle.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "builtins/strings/unit_search.h"

namespace orv::strings {
namespace {

// Every occurrence from every start agrees with std::basic_string_view::find.
template <class Ch>
void expect_as_plain_scan(const std::basic_string<Ch>& hay, const std::basic_string<Ch>& sub, const char* label) {
  const std::basic_string_view<Ch> h(hay), s(sub);
  for (std::size_t from = 0; from <= hay.size() + 1; ++from)
    ASSERT_EQ(find_units(h, s, from), h.find(s, from)) << label << " from " << from << " needle size " << sub.size();
}

std::string repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t k = 0; k < times; ++k) out += piece;
  return out;
}

TEST(UnitSearch, NeedlesThatRepeatTheirLastUnitAndTextsWithManyNearMisses) {
  std::string hay;
  for (int k = 1; k <= 120; ++k) hay += "k" + std::to_string(k % 97) + "-xyz;";
  for (const char* sub : {"k5-", "k45-", "k96-", "k0-", "k97-", "-xyz;k", ";", "zz", "k", "", "5-x"})
    expect_as_plain_scan<char>(hay, sub, "entries");
  expect_as_plain_scan<char>(repeat("a", 200) + "ab", "aab", "runs of one unit");
  expect_as_plain_scan<char>(repeat("ab", 100), "abab", "overlapping copies");
  expect_as_plain_scan<char>(repeat("ab", 100), "abba", "never there");
  // Bytes above 0x7F index the shift table as well as ASCII ones.
  expect_as_plain_scan<char>(repeat("\xe9t\xe9 \xff\x80", 20), "\xff\x80\xe9", "8-bit units");
}

TEST(UnitSearch, NeedlesLongerThanTheLargestShift) {
  std::string sub = repeat("abcdefghij", 30);   // 300 units: shifts are capped
  const std::string hay = repeat("abcdefghij", 31) + "x" + sub + "y" + sub.substr(0, 299);
  expect_as_plain_scan<char>(hay, sub, "long needle");
  sub[0] = 'z';   // the unit that differs lies beyond the shifts' reach
  expect_as_plain_scan<char>(hay + sub, sub, "long needle differing first");
  expect_as_plain_scan<char>(hay, hay, "needle as long as the text");
  expect_as_plain_scan<char>(hay, hay + "a", "needle longer than the text");
}

TEST(UnitSearch, Utf16UnitsSharingALowByte) {
  // U+0141 and U+0241 share the low byte 0x41 with 'A'.
  const std::u16string hay = u"\u0141\u0241A\u0141xx" + std::u16string(60, u'\u0241') + u"A\u0141\u0241\u0141A";
  for (const char16_t* sub : {u"A\u0141", u"\u0241\u0141A", u"\u0241A", u"AA", u"\u0141\u0241\u0141A"})
    expect_as_plain_scan<char16_t>(hay, sub, "shared low bytes");
}

// Needles of every length on both sides of the block search's limit, cut
// from the text so they are there, at offsets near the text's end, where
// the last block overlaps windows already looked at.
TEST(UnitSearch, NeedlesOfEveryLengthFoundNearTheEnd) {
  std::mt19937 random(11);
  for (std::size_t size = 33; size <= 90; size += 19) {
    std::string hay(size, 'a');
    for (char& ch : hay) ch = static_cast<char>("ab\x80\xff"[random() % 4]);
    std::u16string wide(hay.begin(), hay.end());
    for (char16_t& u : wide) u = static_cast<char16_t>((u & 0xFF) * 0x101);
    for (std::size_t m = 2; m <= 40 && m <= size; ++m)
      for (std::size_t at : {size - m, size - m - (m < size), size / 2 - m / 2}) {
        expect_as_plain_scan<char>(hay, hay.substr(at, m), "cut from the text");
        expect_as_plain_scan<char16_t>(wide, wide.substr(at, m), "cut from the wide text");
      }
  }
}

TEST(UnitSearch, RandomTextsOverASmallAlphabet) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string hay(40 + random() % 200, 'a'), sub(1 + random() % 6, 'a');
    for (char& ch : hay) ch = static_cast<char>('a' + random() % 3);
    for (char& ch : sub) ch = static_cast<char>('a' + random() % 3);
    expect_as_plain_scan<char>(hay, sub, "random");
    std::u16string wideHay(hay.begin(), hay.end()), wideSub(sub.begin(), sub.end());
    for (char16_t& u : wideHay) u = static_cast<char16_t>(u + (u == 'b' ? 0x100 : 0));
    for (char16_t& u : wideSub) u = static_cast<char16_t>(u + (u == 'b' ? 0x100 : 0));
    expect_as_plain_scan<char16_t>(wideHay, wideSub, "random wide");
  }
}

}  // namespace
}  // namespace orv::strings
