// Builders and values of the common-control kinds (controls_win32.cpp).
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialogs/run_win32.h"

namespace orv::dialogs {

// Script text to the system's wide strings (both UTF-16 here).
inline std::wstring as_w(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

// Registers the common-control classes once per process; 3960 when they are missing.
bool init_common_controls(Context& c);

// YmdHms text and the system's date record; none for a text that is not a
// valid date and time or lies outside what the controls can show.
std::optional<SYSTEMTIME> systemtime_of(std::string_view ymdhms);
std::string ymdhms_of(Context& c, const SYSTEMTIME& st, bool withTime);

// After the edit part exists: its up-down, range and position.
bool build_spinner(DialogRun& run, std::size_t index);
std::int32_t spinner_position(const ControlWindow& cw);
void set_spinner_position(const ControlWindow& cw, std::int32_t position);

// CALENDAR and DATETIME: the date from the variable, today when it is empty.
bool build_date_control(DialogRun& run, std::size_t index);
SYSTEMTIME get_date(int type, HWND w);
void set_date(int type, HWND w, const SYSTEMTIME& st);

// FILELISTBOX: the files (not folders) a mask names, sorted; remembers the folder.
void list_files(ControlWindow& cw, std::string_view mask);

// REPORTVIEW (reportview_win32.cpp): the variable's two-dimension array,
// headings in row 0; rows as text are cells split by tabs, rows by CR LF.
bool is_report_array(Context& c, const Value& v);
bool build_report(DialogRun& run, std::size_t index);
bool load_report(Context& c, HWND w, const Value& array);   // 1991 for a bad array
std::u16string report_rows(HWND w, bool selectedOnly);
void add_report_rows(HWND w, std::u16string_view text);
int find_report_row(HWND w, std::u16string_view firstCell);  // -1 when none
void select_report_row(HWND w, int row);
int column_count(HWND w);
int row_count(HWND w);
std::u16string cell(HWND w, int row, int column);
void set_cell(HWND w, int row, int column, std::u16string_view text);
std::u16string row_text(HWND w, int row);
void append_row(HWND w, const std::vector<std::u16string>& cells);

// The report-view requests 20 to 31 and the parts of 1-19 that need the
// view's own state (report_requests_win32.cpp). True when the request was
// one of them (done or failed); false leaves it to the general handling.
bool report_get(DialogRun& run, Call& call, std::size_t index, std::int32_t request);
bool report_set(DialogRun& run, Call& call, std::size_t index, std::int32_t request, const std::string& text,
                std::int32_t number);
// The window styles behind the view's style bits (grid, check boxes, ...).
void apply_report_style(HWND w, std::uint32_t style);
// Sorts the rows by a column (from 0); 1990 when the column's cells do not
// fit its order. Selection, checks and colours move with their rows.
bool sort_report(DialogRun& run, std::size_t index, int column, bool descending);
// Row colours while the view paints; the notification's answer.
LRESULT report_custom_draw(const ControlWindow& cw, NMLVCUSTOMDRAW& draw);

}  // namespace orv::dialogs
