// The wildcard matcher: prefix, whole and leftmost matches, checked against
// a plain recursive reference on every small text and pattern.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/wildcard.h"

namespace orv::strings::wild {
namespace {

using Sv = std::string_view;

// Reference: does p match exactly t?
bool ref_match(Sv t, Sv p) {
  if (p.empty()) return t.empty();
  if (p[0] == '*') return ref_match(t, p.substr(1)) || (!t.empty() && ref_match(t.substr(1), p));
  if (t.empty()) return false;
  return (p[0] == '?' || p[0] == t[0]) && ref_match(t.substr(1), p.substr(1));
}

std::optional<std::size_t> ref_longest(Sv t, Sv p) {
  for (std::size_t len = t.size() + 1; len-- > 0;)
    if (ref_match(t.substr(0, len), p)) return len;
  return std::nullopt;
}

std::optional<std::size_t> ref_first(Sv t, Sv p, std::size_t from) {
  for (std::size_t i = from; i < t.size(); ++i)
    if (ref_longest(t.substr(i), p)) return i;
  return std::nullopt;
}

// Every string of length up to n over the alphabet.
std::vector<std::string> all_strings(Sv alphabet, std::size_t n) {
  std::vector<std::string> out{""};
  for (std::size_t i = 0; i < out.size(); ++i)
    if (out[i].size() < n)
      for (char c : alphabet) out.push_back(out[i] + c);
  return out;
}

TEST(Wildcard, PrefixMatchesTakeTheLongest) {
  EXPECT_EQ(longest_prefix(Sv("abcabc"), Sv("a*c")), 6u);
  EXPECT_EQ(longest_prefix(Sv("abcab"), Sv("a*c")), 3u);
  EXPECT_EQ(longest_prefix(Sv("abc"), Sv("ab")), 2u);
  EXPECT_EQ(longest_prefix(Sv("abc"), Sv("*")), 3u);
  EXPECT_EQ(longest_prefix(Sv(""), Sv("*")), 0u);
  EXPECT_EQ(longest_prefix(Sv("abc"), Sv("")), 0u);
  EXPECT_EQ(longest_prefix(Sv(""), Sv("?")), std::nullopt);
  EXPECT_EQ(longest_prefix(Sv("b"), Sv("a*")), std::nullopt);
}

TEST(Wildcard, WholeMatches) {
  EXPECT_TRUE(matches(Sv("FILE.TXT"), Sv("*.TXT")));
  EXPECT_FALSE(matches(Sv("FILE.TXT.BAK"), Sv("*.TXT")));
  EXPECT_TRUE(matches(Sv("abc"), Sv("a?c")));
  EXPECT_FALSE(matches(Sv("abbc"), Sv("a?c")));
  EXPECT_TRUE(matches(Sv("a"), Sv("**a**")));
  EXPECT_TRUE(matches(Sv("xaxb"), Sv("*a*b")));
  EXPECT_FALSE(matches(Sv("xaxbx"), Sv("*a*b")));
  EXPECT_TRUE(matches(Sv(""), Sv("")));
  EXPECT_FALSE(matches(Sv(""), Sv("?")));
}

TEST(Wildcard, LeftmostStart) {
  EXPECT_EQ(find_first(Sv("abcbd"), Sv("b*d"), 0), 1u);
  EXPECT_EQ(find_first(Sv("abcbd"), Sv("b*d"), 2), 3u);
  EXPECT_EQ(find_first(Sv("ab"), Sv("???"), 0), std::nullopt);
  EXPECT_EQ(find_first(Sv("abc"), Sv("*"), 2), 2u);
  EXPECT_EQ(find_first(Sv("abc"), Sv("*"), 3), std::nullopt);   // no character left to start on
  // A later start that matches sooner must not beat an earlier start.
  EXPECT_EQ(find_first(Sv("axxxxbab"), Sv("a*b"), 0), 0u);
}

TEST(Wildcard, AgreesWithTheReferenceOnAllSmallCases) {
  const auto texts = all_strings("ab", 5);
  const auto patterns = all_strings("ab*?", 4);
  for (const auto& t : texts)
    for (const auto& p : patterns) {
      ASSERT_EQ(longest_prefix(Sv(t), Sv(p)), ref_longest(t, p)) << t << " / " << p;
      ASSERT_EQ(matches(Sv(t), Sv(p)), ref_match(t, p)) << t << " / " << p;
      for (std::size_t from = 0; from <= t.size(); ++from)
        ASSERT_EQ(find_first(Sv(t), Sv(p), from), ref_first(t, p, from)) << t << " / " << p << " from " << from;
    }
}

TEST(Wildcard, WorksOnWideUnitsAndCharacterCodes) {
  EXPECT_EQ(longest_prefix(std::u16string_view(u"\u0416\u0436x"), std::u16string_view(u"?\u0436")), 2u);
  EXPECT_EQ(find_first(std::u32string_view(U"ab\U00008140c"), std::u32string_view(U"\U00008140?"), 0), 2u);
}

// Many stars against a long text that never matches: a backtracking matcher
// would not finish.
TEST(Wildcard, ManyStarsStayPolynomial) {
  const std::string text(3000, 'a');
  const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b";
  EXPECT_FALSE(matches(Sv(text), Sv(pattern)));
  EXPECT_EQ(find_first(Sv(text), Sv(pattern), 0), std::nullopt);
  EXPECT_EQ(longest_prefix(Sv(text), Sv(pattern)), std::nullopt);
}

}  // namespace
}  // namespace orv::strings::wild
