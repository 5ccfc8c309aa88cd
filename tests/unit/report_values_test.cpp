// Report-view values: the lists, widths, formats and colours a script gives,
// and the cell order the view sorts by.
#include <gtest/gtest.h>

#include <algorithm>

#include "ui/dialogs/report_values.h"

using namespace orv::dialogs;

TEST(ReportValues, TabListsKeepEmptyItems) {
  EXPECT_EQ(split_tabs(std::string_view("a\t\tc")), (std::vector<std::string>{"a", "", "c"}));
  EXPECT_EQ(split_tabs(std::string_view("")), (std::vector<std::string>{""}));
  EXPECT_EQ(split_tabs(std::u16string_view(u"x\t")), (std::vector<std::u16string>{u"x", u""}));
}

TEST(ReportValues, WidthsAreUnitsOrTheTwoFits) {
  EXPECT_EQ(parse_column_width(" 40 "), 40);
  EXPECT_EQ(parse_column_width("-1"), kFitCells);
  EXPECT_EQ(parse_column_width("-2"), kFitHeading);
  EXPECT_EQ(parse_column_width("0"), 0);
  EXPECT_EQ(parse_column_width("10000"), 10000);
  for (const char* bad : {"-3", "10001", "4x", "", "wide", "99999999999"})
    EXPECT_FALSE(parse_column_width(bad)) << bad;
}

TEST(ReportValues, FormatWordsChangeOnlyWhatTheyName) {
  ColumnFormat f;
  ASSERT_TRUE(parse_column_format("right number", f));
  EXPECT_EQ(f.align, Align::right);
  EXPECT_EQ(f.sort, SortKind::number);
  ASSERT_TRUE(parse_column_format("Center", f));   // the order stays
  EXPECT_EQ(f.align, Align::center);
  EXPECT_EQ(f.sort, SortKind::number);
  ASSERT_TRUE(parse_column_format("logical|LEFT", f));
  EXPECT_EQ(column_format_text(f), "LEFT LOGICAL");
  ASSERT_TRUE(parse_column_format("", f));          // nothing named: unchanged
  EXPECT_EQ(column_format_text(f), "LEFT LOGICAL");
  ColumnFormat kept = f;
  EXPECT_FALSE(parse_column_format("right upward", kept));
  EXPECT_EQ(column_format_text(kept), "LEFT LOGICAL");   // a bad word changes nothing
}

TEST(ReportValues, RowColoursTextAndBackground) {
  auto c = parse_row_colours("255|0|0");
  ASSERT_TRUE(c);
  EXPECT_EQ(row_colours_text(*c), "255|0|0,DEFAULT");
  c = parse_row_colours("DEFAULT, H00FF80");
  ASSERT_TRUE(c);
  EXPECT_EQ(row_colours_text(*c), "DEFAULT,0|255|128");
  c = parse_row_colours("default,default");
  ASSERT_TRUE(c);
  EXPECT_FALSE(c->text || c->background);
  for (const char* bad : {"", "256|0|0", "red", "1|2|3,4|5|6,7|8|9", "H1234567"})
    EXPECT_FALSE(parse_row_colours(bad)) << bad;
}

TEST(ReportValues, CellOrderByKind) {
  EXPECT_LT(*compare_cells(u"apple", u"Banana", SortKind::text), 0);   // case does not split the letters
  EXPECT_GT(*compare_cells(u"b", u"Apple", SortKind::text), 0);
  EXPECT_NE(*compare_cells(u"a", u"A", SortKind::text), 0);            // but the order is total
  EXPECT_LT(*compare_cells(u"12", u"9", SortKind::text), 0);
  EXPECT_GT(*compare_cells(u"12", u"9", SortKind::number), 0);
  EXPECT_LT(*compare_cells(u"-1.5e1", u" 3 ", SortKind::number), 0);
  EXPECT_EQ(*compare_cells(u"2.0", u"2", SortKind::number), 0);
  EXPECT_LT(*compare_cells(u"", u"-100", SortKind::number), 0);          // empty cells first
  EXPECT_FALSE(compare_cells(u"12", u"twelve", SortKind::number));
  EXPECT_FALSE(compare_cells(u"1e", u"1", SortKind::number));
  EXPECT_FALSE(compare_cells(u".", u"1", SortKind::number));
  EXPECT_FALSE(compare_cells(u"1e999", u"1", SortKind::number));
  EXPECT_LT(*compare_cells(u"file2", u"file10", SortKind::logical), 0);
}

TEST(ReportValues, NumberSortIsAStrictOrder) {
  std::vector<std::u16string> cells{u"10", u"", u"-2", u"3.5", u"3.50", u"0"};
  std::stable_sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
    return *compare_cells(a, b, SortKind::number) < 0;
  });
  EXPECT_EQ(cells, (std::vector<std::u16string>{u"", u"-2", u"0", u"3.5", u"3.50", u"10"}));
}
