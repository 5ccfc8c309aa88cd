// Hex text, the native build's code pages and the splitting of parameter
// words: the platform-free rules behind the Chr functions and ParseData.
#include <gtest/gtest.h>

#include "builtins/text/hex.h"
#include "engine/parameter_words.h"
#include "platform/codepage.h"
#include "platform/native/code_page_tables.h"

namespace orv {
namespace {

using text::HexStatus;
namespace cp = platform::codepages;

TEST(HexText, BytesAreTwoUpperCaseDigitsAndReadBackWithGapsBetweenPairs) {
  EXPECT_EQ(text::bytes_to_hex(std::string("\x00\x7F\x80\xFF", 4)), "007F80FF");
  std::string out;
  EXPECT_EQ(text::hex_to_bytes("4a 6B\r\n7f", out), HexStatus::ok);
  EXPECT_EQ(out, "Jk\x7F");
  EXPECT_EQ(text::hex_to_bytes("", out), HexStatus::ok);
  EXPECT_TRUE(out.empty());
}

TEST(HexText, BadDigitsAndIncompletePairsAreToldApart) {
  std::string out;
  EXPECT_EQ(text::hex_to_bytes("4G", out), HexStatus::bad_digit);
  EXPECT_EQ(text::hex_to_bytes("G4", out), HexStatus::bad_digit);
  EXPECT_EQ(text::hex_to_bytes("0x41", out), HexStatus::bad_digit);
  EXPECT_EQ(text::hex_to_bytes("414", out), HexStatus::incomplete);
  EXPECT_EQ(text::hex_to_bytes("4 1", out), HexStatus::incomplete);   // a gap inside a pair
  EXPECT_EQ(text::hex_to_bytes("\t41", out), HexStatus::bad_digit);   // only space, CR and LF are gaps
}

TEST(HexText, UnitsAreFourDigitsLowByteFirst) {
  EXPECT_EQ(text::units_to_hex(u"A\u20AC"), "4100AC20");
  std::u16string units;
  EXPECT_EQ(text::hex_to_units("4100 AC20", units), HexStatus::ok);
  EXPECT_EQ(units, u"A\u20AC");
  EXPECT_EQ(text::hex_to_units("3DD8", units), HexStatus::ok);   // a lone surrogate half is a unit like any other
  EXPECT_EQ(units, std::u16string(1, char16_t{0xD83D}));
  EXPECT_EQ(text::hex_to_units("410042", units), HexStatus::incomplete);
  EXPECT_EQ(text::hex_to_units("41004", units), HexStatus::incomplete);
  EXPECT_EQ(text::hex_to_units("4100zz00", units), HexStatus::bad_digit);
}

TEST(NativeCodePages, EveryByteOfTheSingleByteCodePagesRoundTrips) {
  for (unsigned page : {cp::kAnsi, cp::kOem}) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string wide;
    ASSERT_TRUE(cp::to_utf16(all, page, wide));
    ASSERT_EQ(wide.size(), 256u);
    std::string back;
    ASSERT_TRUE(cp::from_utf16(wide, page, back));
    EXPECT_EQ(back, all) << page;
  }
}

TEST(NativeCodePages, TheTablesPutLettersWhereTheSystemDoes) {
  std::u16string wide;
  ASSERT_TRUE(cp::to_utf16("\x80\xE9", cp::kAnsi, wide));
  EXPECT_EQ(wide, u"\u20AC\u00E9");
  ASSERT_TRUE(cp::to_utf16("\x82\xB0\xE1\xFF", cp::kOem, wide));
  EXPECT_EQ(wide, u"\u00E9\u2591\u00DF\u00A0");
  std::string bytes;
  ASSERT_TRUE(cp::from_utf16(u"\u20AC\u3042", cp::kOem, bytes));
  EXPECT_EQ(bytes, "??");   // characters 437 lacks, never a look-alike
  ASSERT_TRUE(cp::from_utf16(u"\u0100", cp::kAnsi, bytes));
  EXPECT_EQ(bytes, "?");
}

TEST(NativeCodePages, Utf8IsStrict) {
  std::u16string wide;
  ASSERT_TRUE(cp::to_utf16("\xE2\x82\xAC\xF0\x9F\x98\x80", cp::kUtf8, wide));
  EXPECT_EQ(wide, u"\u20AC\U0001F600");
  for (const char* bad : {"\xC3\x28", "\xE2\x82", "\x80", "\xC0\xAF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xFF"})
    EXPECT_FALSE(cp::to_utf16(bad, cp::kUtf8, wide)) << bad;
  std::string bytes;
  ASSERT_TRUE(cp::from_utf16(u"x\U0001F600", cp::kUtf8, bytes));
  EXPECT_EQ(bytes, "x\xF0\x9F\x98\x80");
  EXPECT_FALSE(cp::from_utf16(std::u16string(1, char16_t{0xD83D}), cp::kUtf8, bytes));
  EXPECT_FALSE(cp::from_utf16(std::u16string{u'a', char16_t{0xDE00}}, cp::kUtf8, bytes));
  EXPECT_FALSE(cp::from_utf16(std::u16string{char16_t{0xD83D}, u'a'}, cp::kUtf8, bytes));
}

TEST(NativeCodePages, OthersAreNotAvailable) {
  std::u16string wide;
  std::string bytes;
  EXPECT_FALSE(cp::known(932));
  EXPECT_FALSE(cp::to_utf16("a", 932, wide));
  EXPECT_FALSE(cp::from_utf16(u"a", 850, bytes));
  EXPECT_TRUE(cp::known(437) && cp::known(1252) && cp::known(65001));
}

std::vector<std::string> words(std::string_view line) { return parameter_words(line); }
using W = std::vector<std::string>;

TEST(ParameterWords, QuotesGroupWordsAndOtherQuotesArePlainText) {
  EXPECT_EQ(words("  a \t b  "), (W{"a", "b"}));
  EXPECT_EQ(words(R"(a "b c" 'd e' `f g`)"), (W{"a", "b c", "d e", "f g"}));
  EXPECT_EQ(words(R"('say "hi"' "it's")"), (W{R"(say "hi")", "it's"}));
  EXPECT_EQ(words(R"("a""b")"), (W{R"(a"b)"}));
  EXPECT_EQ(words(R"(ab"c d")"), (W{R"(ab"c)", R"(d")"}));
  EXPECT_EQ(words(R"("")"), (W{""}));
  EXPECT_TRUE(words("").empty());
  EXPECT_TRUE(words(" \t ").empty());
}

TEST(ParameterWords, AnOpenQuoteTakesTheRestAndAClosingQuoteEndsTheWord) {
  EXPECT_EQ(words(R"(a "b  c)"), (W{"a", "b  c"}));
  EXPECT_EQ(words(R"(")"), (W{""}));
  EXPECT_EQ(words(R"("ab"cd)"), (W{"ab", "cd"}));
  EXPECT_EQ(words(R"("a""" b)"), (W{R"(a")", "b"}));
}

TEST(ParameterWords, Utf16TextSplitsAlike) {
  EXPECT_EQ(parameter_words(std::u16string_view(u"\u20AC \"x y\"")), (std::vector<std::u16string>{u"\u20AC", u"x y"}));
}

}  // namespace
}  // namespace orv

namespace orv::platform {
namespace {

// The stand-in console takes the code pages the stand-in knows, and keeps them.
TEST(NativeConsoleCodePage, SetKeepsKnownCodePagesOnly) {
  const unsigned before = console_code_page();
  EXPECT_EQ(before, codepages::kOem);
  EXPECT_TRUE(set_console_code_page(65001));
  EXPECT_EQ(console_code_page(), 65001u);
  EXPECT_FALSE(set_console_code_page(932));
  EXPECT_EQ(console_code_page(), 65001u);
  EXPECT_TRUE(set_console_code_page(before));
  EXPECT_FALSE(code_page_available(1200));
  EXPECT_EQ(ansi_code_page(), 1252u);
}

}  // namespace
}  // namespace orv::platform
