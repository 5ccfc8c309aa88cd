// The texts scripts give a report view: tab-separated lists, column widths
// and formats, row colours, and the order the view sorts cells in. Platform
// free so that the rules are tested without a window.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialogs/definition.h"

namespace orv::dialogs {

// Cells of one row, or headings, separated by tabs; an empty text is one empty item.
std::vector<std::u16string> split_tabs(std::u16string_view text);
std::vector<std::string> split_tabs(std::string_view text);

// A column width in dialog units; -1 fits the widest cell, -2 the heading.
inline constexpr std::int32_t kFitCells = -1, kFitHeading = -2, kWidthMax = 10000;
std::optional<std::int32_t> parse_column_width(std::string_view text);

// How a column shows and sorts its cells: words separated by spaces or "|",
// alignment (LEFT, RIGHT, CENTER) and order (TEXT, NUMBER, LOGICAL); a word
// left out keeps the current setting.
enum class Align { left, right, center };
enum class SortKind { text, number, logical };
struct ColumnFormat {
  Align align = Align::left;
  SortKind sort = SortKind::text;
};
bool parse_column_format(std::string_view text, ColumnFormat& inOut);
std::string column_format_text(const ColumnFormat& f);

// A row's colours: "text" or "text,background", each a colour or DEFAULT.
struct RowColours {
  std::optional<Colour> text, background;
};
std::optional<RowColours> parse_row_colours(std::string_view text);
std::string row_colours_text(const RowColours& c);

// Cell order for sorting: <0, 0 or >0; none when a NUMBER column holds a
// cell that is not a number (the sort fails rather than guess).
std::optional<int> compare_cells(std::u16string_view a, std::u16string_view b, SortKind kind);

}  // namespace orv::dialogs
