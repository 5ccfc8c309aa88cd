// The choosers' words: file type lists, multiple-choice answers, colour answers.
#include <gtest/gtest.h>

#include "ui/chooser_text.h"

using namespace orv::ui;

namespace {

// A literal with NULs inside, all of it but the terminator.
template <std::size_t N>
std::u16string nul_text(const char16_t (&s)[N]) {
  return std::u16string(s, N - 1);
}

TEST(FileFilters, PairsBecomeNulEndedTextsAndBadListsAreRefused) {
  EXPECT_EQ(file_filter(u"Text|*.txt|All|*.*").value_or(u"-"), nul_text(u"Text\0*.txt\0All\0*.*\0\0"));
  EXPECT_EQ(file_filter(u"Text|*.txt|"), file_filter(u"Text|*.txt"));   // a closing bar is allowed
  EXPECT_EQ(file_filter(u"").value_or(u"-"), nul_text(u"All files\0*.*\0\0"));
  EXPECT_EQ(file_filter(u"Pictures|*.bmp;*.png").value_or(u"-"), nul_text(u"Pictures\0*.bmp;*.png\0\0"));
  for (const char16_t* bad : {u"Text", u"Text|*.txt|All", u"|*.txt", u"Text||", u"Text||All|*.*", u"|", u"||"})
    EXPECT_FALSE(file_filter(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

TEST(ChosenFiles, OneNameIsAPathSeveralAreJoinedToTheirFolder) {
  using V = std::vector<std::u16string>;
  EXPECT_EQ(chosen_files(nul_text(u"C:\\a\\x.txt\0\0")), V{u"C:\\a\\x.txt"});
  EXPECT_EQ(chosen_files(nul_text(u"C:\\a\0x.txt\0y.txt\0\0")), (V{u"C:\\a\\x.txt", u"C:\\a\\y.txt"}));
  EXPECT_EQ(chosen_files(nul_text(u"C:\\\0x.txt\0y\0\0")), (V{u"C:\\x.txt", u"C:\\y"}));   // a root keeps one "\"
  EXPECT_EQ(chosen_files(u"C:\\no_end"), V{u"C:\\no_end"});
  EXPECT_TRUE(chosen_files(nul_text(u"\0\0")).empty());
  EXPECT_TRUE(chosen_files(u"").empty());
}

TEST(ColourAnswers, EachFormatAndOnlyThoseThree) {
  EXPECT_EQ(colour_answer(255, 128, 0, 0).value_or("-"), "255|128|0");
  EXPECT_EQ(colour_answer(0, 255, 128, 1).value_or("-"), "H00FF80");
  EXPECT_EQ(colour_answer(1, 2, 3, 2).value_or("-"), std::to_string(1 + 2 * 256 + 3 * 65536));
  EXPECT_FALSE(colour_answer(0, 0, 0, 3));
  EXPECT_FALSE(colour_answer(0, 0, 0, -1));
}

TEST(FontChoices, DescriptionsReadAndWriteBackWithTheirStyleNumbers) {
  const auto f = parse_font_choice("Arial|12|11170|0");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->face, "Arial");
  EXPECT_EQ(f->points, 12);
  EXPECT_EQ(f->weight, 700);
  EXPECT_TRUE(f->italic && f->underline && f->strikeOut);
  EXPECT_EQ(f->charSet, 0);
  EXPECT_EQ(font_answer(*f, 0).value_or("-"), "Arial|12|11170|0");
  EXPECT_EQ(font_answer(*f, 1).value_or("-"), "Arial");
  EXPECT_FALSE(font_answer(*f, 2));
  const auto plain = parse_font_choice("Courier New");
  ASSERT_TRUE(plain);
  EXPECT_EQ(font_answer(*plain, 0).value_or("-"), "Courier New|0|40|1");   // defaults fill the rest
  EXPECT_EQ(parse_font_choice("")->face, "");
  EXPECT_EQ(parse_font_choice("x|10|140")->weight, 400);   // 140: italic at normal weight
  EXPECT_TRUE(parse_font_choice("x|10|140")->italic);
  for (const char* bad : {"x|big", "x|10|-1", "x|10|40|256", "x|1|2|3|4", "x|", "x|99999999", "x|1639"})
    EXPECT_FALSE(parse_font_choice(bad)) << bad;
  EXPECT_FALSE(parse_font_choice(std::string(32, 'f')));
}

}  // namespace
