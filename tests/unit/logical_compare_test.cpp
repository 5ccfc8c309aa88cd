// The logical text order used when the system's comparison is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "builtins/arrays/logical_compare.h"

namespace orv::arrays {
namespace {

int cmp(const std::u16string& a, const std::u16string& b) { return logical_compare_fallback(a, b); }

TEST(LogicalCompare, DigitRunsCompareByValue) {
  EXPECT_LT(cmp(u"file2", u"file10"), 0);
  EXPECT_GT(cmp(u"file10", u"file9"), 0);
  EXPECT_LT(cmp(u"a9b", u"a10a"), 0);
  EXPECT_EQ(cmp(u"x007", u"x7"), 0);
  EXPECT_LT(cmp(u"v1.2", u"v1.10"), 0);
  // Runs longer than any integer type still compare by value.
  EXPECT_GT(cmp(u"n123456789012345678901234567890", u"n99999999999999999999999999999"), 0);
  EXPECT_LT(cmp(u"n000000000000000000000000000001", u"n2"), 0);
}

TEST(LogicalCompare, LettersIgnoreCaseAndShorterFirst) {
  EXPECT_EQ(cmp(u"File1", u"fILE1"), 0);
  EXPECT_EQ(cmp(u"\u00C9t\u00E9", u"\u00E9T\u00C9"), 0);
  EXPECT_LT(cmp(u"abc", u"abcd"), 0);
  EXPECT_GT(cmp(u"b", u"Abc"), 0);
  EXPECT_EQ(cmp(u"", u""), 0);
  EXPECT_LT(cmp(u"", u"a"), 0);
  // Digits and punctuation come before letters of either case.
  EXPECT_LT(cmp(u"2", u"a"), 0);
  EXPECT_LT(cmp(u"a_b", u"aab"), 0);
  EXPECT_LT(cmp(u"a_b", u"aAb"), 0);
}

TEST(LogicalCompare, IsAConsistentOrder) {
  const std::vector<std::u16string> words = {u"a10", u"A2", u"a2b", u"b", u"B1", u"", u"10", u"9", u"x_1",
                                             u"x01", u"X1", u"x1a", u"abc", u"ABD", u"a01b", u"\u00E9"};
  for (const auto& a : words)
    for (const auto& b : words) {
      const int ab = cmp(a, b), ba = cmp(b, a);
      EXPECT_EQ(ab < 0, ba > 0) << "antisymmetry";
      for (const auto& c : words)
        if (ab < 0 && cmp(b, c) < 0) {
          EXPECT_LT(cmp(a, c), 0) << "transitivity";
        }
    }
  std::vector<std::u16string> sorted = {u"file10", u"File1", u"file2", u"file1b", u"file01a"};
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return cmp(a, b) < 0; });
  const std::vector<std::u16string> want = {u"File1", u"file01a", u"file1b", u"file2", u"file10"};
  EXPECT_EQ(sorted, want);
}

}  // namespace
}  // namespace orv::arrays
