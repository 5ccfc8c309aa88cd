// The report view's own requests: headings, column widths and formats,
// columns added and removed, finding and editing rows, check boxes, the
// view's format bits with sorting, and the current row with its text and
// colours. Rows are numbered from 1, columns from 1.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "builtins/strings/text.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/value_ops.h"
#include "ui/dialogs/controls_win32.h"

namespace orv::dialogs {

namespace {

// Style bits that change how the view looks and sorts.
constexpr std::uint32_t kNoHeader = 524288, kGrid = 2097152, kSingleSel = 4194304, kFullSel = 8388608,
                        kAscending = 16777216, kDescending = 33554432, kColumnEdit = 67108864,
                        kCheckBoxes = 134217728, kLogicalSort = 1073741824;
constexpr std::uint32_t kFormatBits =
    kNoHeader | kGrid | kSingleSel | kFullSel | kAscending | kDescending | kColumnEdit | kCheckBoxes | kLogicalSort;
constexpr std::int32_t kNewColumnWidth = 50;   // dialog units

void set_text(Call& call, std::u16string_view text) { strings::set_result(call, std::string_view(narrow(text))); }

// Horizontal pixels of four dialog units.
LONG units_x(const DialogRun& run) { return dialog_units(run).right; }

std::u16string heading(HWND w, int column) {
  wchar_t text[512] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = text;
  col.cchTextMax = 511;
  SendMessageW(w, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

bool is_checked(HWND w, int row) {
  return (SendMessageW(w, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
         INDEXTOSTATEIMAGEMASK(2);
}

void set_checked(HWND w, int row, bool on) {
  LVITEMW state{};
  state.stateMask = LVIS_STATEIMAGEMASK;
  state.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
  SendMessageW(w, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

LPARAM row_data(HWND w, int row) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  SendMessageW(w, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.lParam;
}

// The focused row, else the first selected one; -1 when none.
int current_row(HWND w) {
  int row = static_cast<int>(SendMessageW(w, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (row < 0) row = static_cast<int>(SendMessageW(w, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  return row;
}

ColumnFormat format_of(const ControlWindow& cw, int column) {
  return static_cast<std::size_t>(column) < cw.formats.size() ? cw.formats[static_cast<std::size_t>(column)] : ColumnFormat{};
}

void store_format(ControlWindow& cw, int column, const ColumnFormat& f) {
  if (cw.formats.size() <= static_cast<std::size_t>(column)) cw.formats.resize(static_cast<std::size_t>(column) + 1);
  cw.formats[static_cast<std::size_t>(column)] = f;
  LVCOLUMNW col{};
  col.mask = LVCF_FMT;
  col.fmt = f.align == Align::right ? LVCFMT_RIGHT : f.align == Align::center ? LVCFMT_CENTER : LVCFMT_LEFT;
  SendMessageW(cw.hwnd, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

std::u16string joined(const std::vector<std::u16string>& items, std::u16string_view separator) {
  std::u16string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += separator;
    out += items[i];
  }
  return out;
}

bool too_many_columns(Call& call, std::size_t given, int columns) {
  if (given <= static_cast<std::size_t>(columns)) return false;
  fail(call.c, errs::kDialogBadColumn, std::to_string(given));
  return true;
}

// A row argument of DialogControlGet (from 1), or the current row.
bool row_argument(Call& call, HWND w, int& row) {
  if (call.count < 4) {
    row = current_row(w);
    if (row < 0) return fail(call.c, errs::kDialogBadRow, "0");
    return true;
  }
  std::string text;
  if (!value_text(call.c, call.args[4], text)) return false;
  const auto n = parse_integer(text);
  if (!n || *n < 1 || *n > row_count(w)) return fail(call.c, errs::kDialogBadRow, text);
  row = *n - 1;
  return true;
}

bool get_request(DialogRun& run, Call& call, std::size_t index, std::int32_t request) {
  const Control& k = run.d.controls[index];
  ControlWindow& cw = run.windows[index];
  const HWND w = cw.hwnd;
  const int columns = column_count(w);
  switch (request) {
    case 20: {
      std::vector<std::u16string> items;
      for (int col = 0; col < columns; ++col) items.push_back(heading(w, col));
      set_text(call, joined(items, u"\t"));
      return true;
    }
    case 21: {
      std::vector<std::u16string> items;
      for (int col = 0; col < columns; ++col) {
        const LONG px = static_cast<LONG>(SendMessageW(w, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(col), 0));
        items.push_back(widen(std::to_string((px * 4 + units_x(run) / 2) / units_x(run))));
      }
      set_text(call, joined(items, u"\t"));
      return true;
    }
    case 26: {
      if (!(k.style & kCheckBoxes)) return fail(call.c, errs::kDialogRequestUnsupported);
      std::vector<std::u16string> rows;
      for (int r = 0; r < row_count(w); ++r)
        if (is_checked(w, r)) rows.push_back(row_text(w, r));
      set_text(call, joined(rows, u"\r\n"));
      return true;
    }
    case 27: {
      std::string out;
      for (int col = 0; col < columns; ++col) {
        if (col) out += '\t';
        out += column_format_text(format_of(cw, col));
      }
      strings::set_result(call, std::string_view(out));
      return true;
    }
    case 28:
      make_int(call.result, static_cast<std::int32_t>(k.style & kFormatBits));
      return true;
    case 29: {
      int row = 0;
      if (!row_argument(call, w, row)) return true;
      const auto at = cw.rowColours.find(row_data(w, row));
      const std::string text = row_colours_text(at == cw.rowColours.end() ? RowColours{} : at->second);
      strings::set_result(call, std::string_view(text));
      return true;
    }
    case 30:
      make_int(call.result, current_row(w) + 1);
      return true;
    case 31: {
      int row = 0;
      if (row_argument(call, w, row)) set_text(call, row_text(w, row));
      return true;
    }
    default:
      return false;
  }
}

// The rows named by their first cells, one a line (cells after a tab are
// ignored, so that a list of checked rows can be given back).
bool named_rows(Call& call, HWND w, const std::string& text, std::vector<int>& rows) {
  const std::u16string wide = widen(text);
  std::size_t start = 0;
  while (start < wide.size()) {
    std::size_t end = wide.find(u"\r\n", start);
    if (end == std::u16string::npos) end = wide.size();
    std::u16string_view line(wide.data() + start, end - start);
    start = end + 2;
    line = line.substr(0, line.find(u'\t'));
    if (line.empty()) continue;
    const int row = find_report_row(w, line);
    if (row < 0) return fail(call.c, errs::kDialogItemsNotFound, narrow(line));
    rows.push_back(row);
  }
  return true;
}

bool set_request(DialogRun& run, Call& call, std::size_t index, std::int32_t request, const std::string& text,
                 std::int32_t number) {
  Control& k = run.d.controls[index];
  ControlWindow& cw = run.windows[index];
  const HWND w = cw.hwnd;
  const int columns = column_count(w);
  auto done = [&](std::int32_t result = 1) {
    make_int(call.result, result);
    return true;
  };
  switch (request) {
    case 20: {
      const auto items = split_tabs(widen(text));
      if (too_many_columns(call, items.size(), columns)) return true;
      for (std::size_t col = 0; col < items.size(); ++col) {
        std::wstring t = as_w(items[col]);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT;
        c.pszText = t.data();
        SendMessageW(w, LVM_SETCOLUMNW, col, reinterpret_cast<LPARAM>(&c));
      }
      return done();
    }
    case 21: {
      const auto items = split_tabs(std::string_view(text));
      if (too_many_columns(call, items.size(), columns)) return true;
      std::vector<std::optional<std::int32_t>> widths;
      for (const std::string& item : items) {   // all checked before any changes
        if (item.empty()) { widths.emplace_back(); continue; }
        const auto width = parse_column_width(item);
        if (!width) return fail(call.c, errs::kBadValue, item), true;
        widths.push_back(width);
      }
      for (std::size_t col = 0; col < widths.size(); ++col) {
        if (!widths[col]) continue;
        const int px = *widths[col] == kFitCells     ? LVSCW_AUTOSIZE
                       : *widths[col] == kFitHeading ? LVSCW_AUTOSIZE_USEHEADER
                                                     : static_cast<int>(*widths[col] * units_x(run) / 4);
        SendMessageW(w, LVM_SETCOLUMNWIDTH, col, MAKELPARAM(px, 0));
      }
      return done();
    }
    case 22: {
      int count = columns;
      for (const std::u16string& title : split_tabs(widen(text))) {
        std::wstring t = as_w(title);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.cx = static_cast<int>(kNewColumnWidth * units_x(run) / 4);
        c.pszText = t.data();
        c.iSubItem = count;
        if (SendMessageW(w, LVM_INSERTCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&c)) < 0)
          return fail(call.c, errs::kDialogControlRefused, narrow(title)), true;
        ++count;
      }
      return done(count);
    }
    case 23: {
      if (number < 1 || number > columns) return fail(call.c, errs::kDialogBadColumn, std::to_string(number)), true;
      if (!SendMessageW(w, LVM_DELETECOLUMN, static_cast<WPARAM>(number - 1), 0))
        return fail(call.c, errs::kDialogControlRefused, std::to_string(number)), true;
      if (static_cast<std::size_t>(number - 1) < cw.formats.size()) cw.formats.erase(cw.formats.begin() + (number - 1));
      if (cw.sortColumn == number - 1) cw.sortColumn = -1;
      else if (cw.sortColumn > number - 1) --cw.sortColumn;
      return done(column_count(w));
    }
    case 24: {
      const std::wstring wanted = as_w(widen(text));
      for (int r = 0; r < row_count(w); ++r)
        for (int col = 0; col < std::max(columns, 1); ++col)
          if (lstrcmpiW(as_w(cell(w, r, col)).c_str(), wanted.c_str()) == 0) return done(r + 1);
      return done(0);
    }
    case 25: {
      const bool editing = SendMessageW(w, LVM_GETEDITCONTROL, 0, 0) != 0;
      if (editing && number) SendMessageW(w, LVM_CANCELEDITLABEL, 0, 0);
      return done(editing ? 1 : 0);
    }
    case 26: {
      if (!(k.style & kCheckBoxes)) return fail(call.c, errs::kDialogRequestUnsupported), true;
      std::vector<int> rows;
      if (!named_rows(call, w, text, rows)) return true;
      for (int r = 0; r < row_count(w); ++r) set_checked(w, r, std::find(rows.begin(), rows.end(), r) != rows.end());
      return done();
    }
    case 27: {
      const auto items = split_tabs(std::string_view(text));
      if (too_many_columns(call, items.size(), columns)) return true;
      std::vector<ColumnFormat> formats;
      for (std::size_t col = 0; col < items.size(); ++col) {
        ColumnFormat f = format_of(cw, static_cast<int>(col));
        if (!parse_column_format(items[col], f)) return fail(call.c, errs::kBadValue, items[col]), true;
        formats.push_back(f);
      }
      for (std::size_t col = 0; col < formats.size(); ++col) store_format(cw, static_cast<int>(col), formats[col]);
      return done();
    }
    case 28: {
      const auto bits = parse_style(text);
      if (!bits || (*bits & ~kFormatBits) || ((*bits & kAscending) && (*bits & kDescending)))
        return fail(call.c, errs::kBadValue, text), true;
      k.style = (k.style & ~kFormatBits) | *bits;
      apply_report_style(w, k.style);
      if (*bits & (kAscending | kDescending)) sort_report(run, index, std::max(cw.sortColumn, 0), (*bits & kDescending) != 0);
      return done();
    }
    case 29: {
      const int row = current_row(w);
      if (row < 0) return fail(call.c, errs::kDialogBadRow, "0"), true;
      const auto colours = parse_row_colours(text);
      if (!colours) return fail(call.c, errs::kDialogBadColour, text), true;
      if (colours->text || colours->background) cw.rowColours[row_data(w, row)] = *colours;
      else cw.rowColours.erase(row_data(w, row));
      InvalidateRect(w, nullptr, TRUE);
      return done();
    }
    case 30: {
      const auto row = parse_integer(text);
      if (!row) return fail(call.c, errs::kBadValue, text), true;
      if (*row < 1 || *row > row_count(w)) return fail(call.c, errs::kDialogBadRow, text), true;
      select_report_row(w, *row - 1);
      return done();
    }
    case 31: {
      const int row = current_row(w);
      if (row < 0) return fail(call.c, errs::kDialogBadRow, "0"), true;
      const auto cells = split_tabs(widen(text));
      if (too_many_columns(call, cells.size(), std::max(columns, 1))) return true;
      for (int col = 0; col < std::max(columns, 1); ++col)
        set_cell(w, row, col, static_cast<std::size_t>(col) < cells.size() ? cells[static_cast<std::size_t>(col)] : u"");
      return done();
    }
    default:
      return false;
  }
}

}  // namespace

void apply_report_style(HWND w, std::uint32_t style) {
  DWORD ws = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE)) & ~(LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_EDITLABELS);
  if (style & kNoHeader) ws |= LVS_NOCOLUMNHEADER;
  if (style & kSingleSel) ws |= LVS_SINGLESEL;
  if (style & kColumnEdit) ws |= LVS_EDITLABELS;
  SetWindowLongPtrW(w, GWL_STYLE, static_cast<LONG_PTR>(ws));
  const DWORD mask = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES;
  DWORD ex = 0;
  if (style & kGrid) ex |= LVS_EX_GRIDLINES;
  if (style & kFullSel) ex |= LVS_EX_FULLROWSELECT;
  if (style & kCheckBoxes) ex |= LVS_EX_CHECKBOXES;
  SendMessageW(w, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, ex);
  SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  InvalidateRect(w, nullptr, TRUE);
}

bool sort_report(DialogRun& run, std::size_t index, int column, bool descending) {
  ControlWindow& cw = run.windows[index];
  const HWND w = cw.hwnd;
  const int columns = std::max(column_count(w), 1);
  if (column < 0 || column >= columns) return fail(run.c, errs::kDialogBadColumn, std::to_string(column + 1));
  SortKind kind = format_of(cw, column).sort;
  if (kind == SortKind::text && (run.d.controls[index].style & kLogicalSort)) kind = SortKind::logical;
  struct Row {
    std::vector<std::u16string> cells;
    LPARAM data;
    UINT state;
  };
  std::vector<Row> rows;
  for (int r = 0; r < row_count(w); ++r) {
    Row row{{}, row_data(w, r),
            static_cast<UINT>(SendMessageW(w, LVM_GETITEMSTATE, static_cast<WPARAM>(r),
                                           LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK))};
    for (int col = 0; col < columns; ++col) row.cells.push_back(cell(w, r, col));
    // A cell the column's order cannot place fails the sort before anything moves.
    if (!compare_cells(row.cells[static_cast<std::size_t>(column)], row.cells[static_cast<std::size_t>(column)], kind))
      return fail(run.c, errs::kDialogSortFailed, "row " + std::to_string(r + 1) + ", column " + std::to_string(column + 1));
    rows.push_back(std::move(row));
  }
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    const int order = compare_cells(a.cells[static_cast<std::size_t>(column)], b.cells[static_cast<std::size_t>(column)], kind).value_or(0);
    return descending ? order > 0 : order < 0;
  });
  ++run.quiet;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (int col = 0; col < columns; ++col) set_cell(w, static_cast<int>(r), col, rows[r].cells[static_cast<std::size_t>(col)]);
    LVITEMW item{};
    item.mask = LVIF_PARAM | LVIF_STATE;
    item.iItem = static_cast<int>(r);
    item.lParam = rows[r].data;
    item.state = rows[r].state;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK;
    SendMessageW(w, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  --run.quiet;
  cw.sortColumn = column;
  cw.sortDescending = descending;
  InvalidateRect(w, nullptr, TRUE);
  return true;
}

LRESULT report_custom_draw(const ControlWindow& cw, NMLVCUSTOMDRAW& draw) {
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return cw.rowColours.empty() ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  const auto at = cw.rowColours.find(draw.nmcd.lItemlParam);
  if (at == cw.rowColours.end()) return CDRF_DODEFAULT;
  if (at->second.text) draw.clrText = RGB(at->second.text->r, at->second.text->g, at->second.text->b);
  if (at->second.background)
    draw.clrTextBk = RGB(at->second.background->r, at->second.background->g, at->second.background->b);
  return CDRF_NEWFONT;
}

bool report_get(DialogRun& run, Call& call, std::size_t index, std::int32_t request) {
  if (request >= 22 && request <= 25) {   // actions: they need a value
    fail(call.c, errs::kDialogRequestUnsupported);
    return true;
  }
  return get_request(run, call, index, request);
}

bool report_set(DialogRun& run, Call& call, std::size_t index, std::int32_t request, const std::string& text,
                std::int32_t number) {
  return set_request(run, call, index, request, text, number);
}

}  // namespace orv::dialogs
