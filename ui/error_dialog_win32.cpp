// The error dialog (ERRORMSG / ERRORMSGB) and the traceback list, from the
// library's own resources.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <utility>

#include "resources/dialog_ids.h"
#include "engine/error_report.h"
#include "ui/guarded_proc_win32.h"
#include "ui/module_win32.h"

namespace orv::ui {

namespace {

// Edit controls need CR LF line ends.
std::string to_crlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// The text as it fits the control's width, with an ellipsis inside the path
// (the file name after the last backslash is kept).
std::string fit_path(HWND control, const std::string& text) {
  RECT rect{};
  if (text.empty() || !GetClientRect(control, &rect)) return text;
  HDC screen = GetDC(control);
  if (!screen) return text;
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(control, screen);
  if (!dc) return text;
  const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  // DT_MODIFYSTRING writes the shortened text back, up to four more characters.
  std::string buffer = text;
  buffer.append(5, '\0');
  DrawTextA(dc, buffer.data(), static_cast<int>(text.size()), &rect,
            DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING);
  if (oldFont) SelectObject(dc, oldFont);
  DeleteDC(dc);
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

// ---- Traceback dialog ----

void add_column(HWND list, int index, const char* title, int width, int format) {
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(title);
  column.iSubItem = index;
  SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void set_cell(HWND list, int item, int sub, const std::string& text) {
  LVITEMA cell{};
  cell.mask = LVIF_TEXT;
  cell.iItem = item;
  cell.iSubItem = sub;
  cell.pszText = const_cast<char*>(text.c_str());
  if (sub == 0)
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&cell));
  else
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
}

void fill_traceback(HWND list, const ErrorReport& report) {
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  add_column(list, 0, "#", 32, LVCFMT_RIGHT);
  add_column(list, 1, "Type", 96, LVCFMT_LEFT);
  add_column(list, 2, "Line#", 52, LVCFMT_RIGHT);
  add_column(list, 3, "Error Line", 200, LVCFMT_LEFT);
  add_column(list, 4, "Source File", 240, LVCFMT_LEFT);
  int item = 0;
  for (const TracebackRow& row : report.traceback) {
    set_cell(list, item, 0, std::to_string(row.index));
    set_cell(list, item, 1, row.type);
    set_cell(list, item, 2, std::to_string(row.line));
    set_cell(list, item, 3, traceback_short_text(row.text));
    set_cell(list, item, 4, row.file);
    ++item;
  }
}

INT_PTR traceback_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      fill_traceback(GetDlgItem(dialog, ORV_IDC_TRACE_LIST), *reinterpret_cast<const ErrorReport*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK traceback_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded_dialog_proc(dialog, [&] { return traceback_message(dialog, message, wParam, lParam); });
}

void show_traceback(HWND owner, const ErrorReport& report) {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&init);
  DialogBoxParamA(this_module(), "TRACEBACK", owner, traceback_proc,
                  reinterpret_cast<LPARAM>(&report));
}

// ---- Error dialog ----

const ErrorReport& report_of(HWND dialog) {
  return *reinterpret_cast<const ErrorReport*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void init_error_dialog(HWND dialog, const ErrorReport& report) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&report));
  SetWindowTextA(dialog, report.caption.c_str());
  SetDlgItemTextA(dialog, ORV_IDC_SCRIPT, report.scriptPath.c_str());
  SetDlgItemTextA(dialog, ORV_IDC_MESSAGE, report.message.c_str());
  for (auto [id, text] : {std::pair{ORV_IDC_LINE_INFO, &report.lineInfo}, {ORV_IDC_FILE_INFO, &report.fileInfo}}) {
    HWND control = GetDlgItem(dialog, id);
    SetWindowTextA(control, fit_path(control, *text).c_str());
  }
  SetDlgItemTextA(dialog, ORV_IDC_STATEMENT, to_crlf(report.statement).c_str());
  SetDlgItemTextA(dialog, ORV_IDC_VERSION, report.version.c_str());
  ShowWindow(GetDlgItem(dialog, ORV_IDC_WEB_PAGE), report.supportUrl.empty() ? SW_HIDE : SW_SHOW);
  EnableWindow(GetDlgItem(dialog, ORV_IDC_MORE_INFO), report.additional.empty() ? FALSE : TRUE);
  SetForegroundWindow(dialog);
}

INT_PTR error_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    init_error_dialog(dialog, *reinterpret_cast<const ErrorReport*>(lParam));
    // Focus on the first button, not the statement box.
    SetFocus(GetDlgItem(dialog, ORV_IDC_FIRST_BUTTON));
    return FALSE;
  }
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
  const ErrorReport& report = report_of(dialog);
  switch (LOWORD(wParam)) {
    case ORV_IDC_FIRST_BUTTON:  // OK, or Continue
      EndDialog(dialog, static_cast<INT_PTR>(report.withContinue ? ErrorChoice::cont : ErrorChoice::exit));
      return TRUE;
    case ORV_IDC_SECOND_BUTTON:  // Exit; also Esc and the close box (IDCANCEL)
      EndDialog(dialog, static_cast<INT_PTR>(ErrorChoice::exit));
      return TRUE;
    case ORV_IDC_WEB_PAGE:
      EndDialog(dialog, static_cast<INT_PTR>(ErrorChoice::exit));
      ShellExecuteA(nullptr, "open", report.supportUrl.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return TRUE;
    case ORV_IDC_MORE_INFO:
      MessageBoxA(dialog, report.additional.c_str(), "More Error Information", MB_OK | MB_ICONINFORMATION);
      return TRUE;
    case ORV_IDC_TRACEBACK:
      show_traceback(dialog, report);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK error_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded_dialog_proc(dialog, [&] { return error_message(dialog, message, wParam, lParam); });
}

// When the dialog cannot be made (no resources, no desktop): a plain box.
ErrorChoice fallback_box(const ErrorReport& report, HWND owner) {
  std::string text = report.message;
  if (!report.lineInfo.empty()) text += "\n" + report.lineInfo;
  if (!report.statement.empty()) text += "\n\n" + report.statement;
  const UINT kind = MB_SETFOREGROUND | (report.withContinue ? MB_OKCANCEL | MB_ICONEXCLAMATION : MB_OK | MB_ICONHAND);
  const int answer = MessageBoxA(owner, text.c_str(), report.caption.c_str(), kind);
  return (report.withContinue && answer == IDOK) ? ErrorChoice::cont : ErrorChoice::exit;
}

}  // namespace

ErrorChoice show_error_dialog(const ErrorReport& report) {
  const auto owner = static_cast<HWND>(report.owner);
  if (owner) SetForegroundWindow(owner);
  const INT_PTR result = DialogBoxParamA(this_module(), report.withContinue ? "ERRORMSGB" : "ERRORMSG", owner,
                                         error_proc, reinterpret_cast<LPARAM>(&report));
  if (result == -1) return fallback_box(report, owner);
  return result == static_cast<INT_PTR>(ErrorChoice::cont) ? ErrorChoice::cont : ErrorChoice::exit;
}

}  // namespace orv::ui
