// REPORTVIEW: a list view in report mode. Its variable holds a two-dimension
// array whose row 0 are the column headings and whose other rows are the
// items; texts name rows by their first cell, and give rows as cells
// separated by tabs, rows separated by CR LF.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "engine/arrays.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/variables.h"
#include "ui/dialogs/controls_win32.h"

namespace orv::dialogs {

int column_count(HWND w) {
  const HWND header = reinterpret_cast<HWND>(SendMessageW(w, LVM_GETHEADER, 0, 0));
  return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::u16string cell(HWND w, int row, int column) {
  std::wstring text(1024, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  const LRESULT length = SendMessageW(w, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return std::u16string(text.begin(), text.begin() + std::max<LRESULT>(length, 0));
}

void set_cell(HWND w, int row, int column, std::u16string_view text) {
  std::wstring t = as_w(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = t.data();
  SendMessageW(w, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void append_row(HWND w, const std::vector<std::u16string>& cells) {
  static LPARAM nextRow = 1;   // item data names a row however the rows are sorted
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.lParam = nextRow++;
  item.iItem = static_cast<int>(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0));
  std::wstring first = cells.empty() ? std::wstring() : as_w(cells[0]);
  item.pszText = first.data();
  const int row = static_cast<int>(SendMessageW(w, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  for (std::size_t k = 1; k < cells.size() && static_cast<int>(k) < column_count(w); ++k)
    set_cell(w, row, static_cast<int>(k), cells[k]);
}

int row_count(HWND w) { return static_cast<int>(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0)); }

std::u16string row_text(HWND w, int row) {
  std::u16string out;
  const int columns = std::max(column_count(w), 1);
  for (int k = 0; k < columns; ++k) {
    if (k) out += u'\t';
    out += cell(w, row, k);
  }
  return out;
}

bool is_report_array(Context& c, const Value& v) {
  if (!(v.flags & vf::kArray)) return false;
  const ArrayHeader* h = c.arrays.header(v.str);
  return h && h->dims == 2;
}

bool load_report(Context& c, HWND w, const Value& array) {
  const ArrayHeader* h = c.arrays.header(array.str);
  if (!h || h->dims != 2 || h->sizes[0] < 1) return fail(c, errs::kDialogControlRefused);
  const Value* elements = c.arrays.elements(array.str);
  const std::uint32_t rows = h->sizes[0], columns = h->sizes[1];
  auto text_at = [&](std::uint32_t r, std::uint32_t k) {
    std::string out;
    const Value& e = elements[r * columns + k];
    if (is_assigned(e) && !value_text(c, e, out)) {
      c.error = 0;
      out.clear();
    }
    return widen(out);
  };
  SendMessageW(w, LVM_DELETEALLITEMS, 0, 0);
  while (column_count(w) > 0) SendMessageW(w, LVM_DELETECOLUMN, 0, 0);
  RECT client{};
  GetClientRect(w, &client);
  for (std::uint32_t k = 0; k < columns; ++k) {
    std::wstring heading = as_w(text_at(0, k));
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.cx = std::max<LONG>(client.right / static_cast<LONG>(std::max<std::uint32_t>(columns, 1)), 20);
    col.pszText = heading.data();
    col.iSubItem = static_cast<int>(k);
    SendMessageW(w, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&col));
  }
  for (std::uint32_t r = 1; r < rows; ++r) {
    std::vector<std::u16string> cells;
    for (std::uint32_t k = 0; k < columns; ++k) cells.push_back(text_at(r, k));
    append_row(w, cells);
  }
  return true;
}

bool build_report(DialogRun& run, std::size_t index) {
  const Control& k = run.d.controls[index];
  const HWND w = run.windows[index].hwnd;
  apply_report_style(w, k.style);
  const std::uint16_t slot = find_slot(run.c, lower_name(k.variable));
  if (slot == kNotFound || !is_assigned(run.c.slots[slot].v)) return true;   // an empty view
  const Value& v = run.c.slots[slot].v;
  if (!is_report_array(run.c, v)) return fail(run.c, errs::kDialogControlRefused, k.variable);
  return load_report(run.c, w, v);
}

std::u16string report_rows(HWND w, bool selectedOnly) {
  std::u16string out;
  const int count = static_cast<int>(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0));
  bool first = true;
  for (int r = 0; r < count; ++r) {
    if (selectedOnly && !SendMessageW(w, LVM_GETITEMSTATE, static_cast<WPARAM>(r), LVIS_SELECTED)) continue;
    if (!first) out += u"\r\n";
    first = false;
    out += row_text(w, r);
  }
  return out;
}

void add_report_rows(HWND w, std::u16string_view text) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t at = text.find(u"\r\n", start);
    const std::u16string_view row = text.substr(start, at == std::u16string_view::npos ? std::u16string_view::npos : at - start);
    if (!row.empty()) append_row(w, split_tabs(row));
    if (at == std::u16string_view::npos) break;
    start = at + 2;
  }
}

int find_report_row(HWND w, std::u16string_view firstCell) {
  const int count = static_cast<int>(SendMessageW(w, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < count; ++r)
    if (cell(w, r, 0) == firstCell) return r;
  return -1;
}

void select_report_row(HWND w, int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageW(w, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(w, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  SendMessageW(w, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

}  // namespace orv::dialogs
