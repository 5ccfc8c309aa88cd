// Texts of the prompt boxes: message cutting, hexadecimal answers, list items.
#include <gtest/gtest.h>

#include "ui/boxes.h"

namespace orv::ui {
namespace {

TEST(BoxText, LongMessagesAreCutWithAnEllipsis) {
  EXPECT_EQ(cut_message(u"short"), u"short");
  std::u16string exact(kMessageTextMax, u'x');
  EXPECT_EQ(cut_message(exact), exact);
  std::u16string cut = cut_message(std::u16string(kMessageTextMax + 1, u'y'));
  EXPECT_EQ(cut.size(), kMessageTextMax + 3);
  EXPECT_EQ(cut.substr(kMessageTextMax - 1), u"y...");
}

TEST(BoxText, HexAnswersAreLittleEndianUnitsCutAt640) {
  EXPECT_EQ(hex_units(u"A"), "4100");
  EXPECT_EQ(hex_units(u"\u20AC!"), "AC202100");
  EXPECT_EQ(hex_units(u""), "");
  EXPECT_EQ(hex_units(std::u16string(700, u'B')).size(), 640u * 4);
}

TEST(BoxText, ItemsAndFileLines) {
  EXPECT_TRUE(split_items(u"", u'\t').empty());
  EXPECT_EQ(split_items(u"a,,b", u','), (std::vector<std::u16string>{u"a", u"", u"b"}));
  EXPECT_EQ(split_items(u"a,", u','), (std::vector<std::u16string>{u"a", u""}));
  EXPECT_EQ(split_lines(u"one\r\ntwo\nthree\n"), (std::vector<std::u16string>{u"one", u"two", u"three"}));
  EXPECT_EQ(split_lines(u"last"), (std::vector<std::u16string>{u"last"}));
}

}  // namespace
}  // namespace orv::ui
