// The debug window on Windows: a modal dialog from an in-memory template (the
// DEBUG layout below), run by the exported DebugProc. It shows where the
// script stands and the statement about to run; the user may show the value
// of an expression, run the statement and stop at the next (Step), stop
// stepping (Run) or end the script (Cancel, Escape, the close box).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "builtins/files/file_table.h"
#include "platform/platform.h"
#include "engine/step_view.h"
#include "ui/guarded_proc_win32.h"
#include "ui/module_win32.h"
#include "winauto/window_find_win32.h"

extern "C" __declspec(dllexport) INT_PTR CALLBACK DebugProc(HWND, UINT, WPARAM, LPARAM);

namespace orv::ui {
namespace {

// Control ids; Step and Cancel are the system's IDOK and IDCANCEL so that
// Enter and Escape work as in every other box.
constexpr int kStep = IDOK, kCancel = IDCANCEL, kRun = 200, kShow = 201, kWhere = 210, kStatement = 211,
              kExpression = 212, kValue = 213, kExpressionLabel = 214;
constexpr INT_PTR kEndStep = 1, kEndRun = 2, kEndCancel = 3;
constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

std::wstring wide(std::string_view text) {
  std::u16string out;
  if (!platform::ansi_to_utf16(text, out)) out.assign(text.begin(), text.end());
  return std::wstring(out.begin(), out.end());
}

std::string narrow(const std::u16string& text) {
  std::string out;
  if (!platform::utf16_to_ansi(text, out)) out.assign(text.begin(), text.end());
  return out;
}

// Multi-line edit controls want CR LF.
std::wstring crlf(const std::wstring& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
    out += text[i];
  }
  return out;
}

// DLGTEMPLATE and DLGITEMTEMPLATE words, each item on a DWORD boundary.
class Template {
 public:
  Template(const std::wstring& caption, short cx, short cy) {
    words_.resize(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* h = reinterpret_cast<DLGTEMPLATE*>(words_.data());
    h->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_3DLOOK;
    h->cx = cx;
    h->cy = cy;
    words_.push_back(0);   // no menu
    words_.push_back(0);   // the system dialog class
    text(caption);
    words_.push_back(8);
    text(L"MS Shell Dlg");
  }

  void add(WORD windowClass, DWORD style, short x, short y, short cx, short cy, int id, const std::wstring& title) {
    if (words_.size() % 2) words_.push_back(0);
    const std::size_t at = words_.size();
    words_.resize(at + sizeof(DLGITEMTEMPLATE) / sizeof(WORD), 0);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = static_cast<WORD>(id);
    std::memcpy(&words_[at], &item, sizeof item);
    words_.push_back(0xFFFF);
    words_.push_back(windowClass);
    text(title);
    words_.push_back(0);   // no creation data
    ++reinterpret_cast<DLGTEMPLATE*>(words_.data())->cdit;
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void text(const std::wstring& s) {
    words_.insert(words_.end(), s.begin(), s.end());
    words_.push_back(0);
  }
  std::vector<WORD> words_;
};

Template debug_template(const StepView& view) {
  std::wstring name = wide(view.script);
  if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
  Template t(L"ORV Debug - " + name, 300, 168);
  t.add(kStatic, SS_LEFT | SS_NOPREFIX, 7, 7, 286, 10, kWhere, L"");
  t.add(kEdit, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, 7, 20, 286, 48, kStatement,
        L"");
  t.add(kStatic, SS_LEFT, 7, 76, 200, 10, kExpressionLabel, L"&Variable or expression:");
  t.add(kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 88, 232, 13, kExpression, L"");
  t.add(kButton, BS_PUSHBUTTON | WS_TABSTOP, 243, 87, 50, 14, kShow, L"S&how");
  t.add(kEdit, ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, 7, 106, 286, 36, kValue, L"");
  t.add(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 129, 148, 50, 14, kStep, L"&Step");
  t.add(kButton, BS_PUSHBUTTON | WS_TABSTOP, 186, 148, 50, 14, kRun, L"&Run");
  t.add(kButton, BS_PUSHBUTTON | WS_TABSTOP, 243, 148, 50, 14, kCancel, L"Cancel");
  return t;
}

void show(HWND dialog, const StepView& view) {
  const std::string expression = narrow(control_text(dialog, kExpression));
  SetDlgItemTextW(dialog, kValue, crlf(wide(view.show(expression))).c_str());
}

INT_PTR debug_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* view = reinterpret_cast<const StepView*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      view = reinterpret_cast<const StepView*>(lParam);
      SetDlgItemTextW(dialog, kWhere, (L"Line " + std::to_wstring(view->line) + L" of " + wide(view->script)).c_str());
      SetDlgItemTextW(dialog, kStatement, crlf(wide(view->statement)).c_str());
      SendDlgItemMessageW(dialog, kExpression, EM_LIMITTEXT, 2000, 0);
      SetForegroundWindow(dialog);
      // Enter steps; the expression box is a Tab away.
      SetFocus(GetDlgItem(dialog, kStep));
      return FALSE;
    }
    case WM_COMMAND:
      if (!view) return FALSE;
      switch (LOWORD(wParam)) {
        case kStep:
          // Enter typed in the expression box means Show, not Step.
          if (GetFocus() == GetDlgItem(dialog, kExpression)) {
            show(dialog, *view);
            return TRUE;
          }
          EndDialog(dialog, kEndStep);
          return TRUE;
        case kShow: show(dialog, *view); return TRUE;
        case kRun: EndDialog(dialog, kEndRun); return TRUE;
        case kCancel: EndDialog(dialog, kEndCancel); return TRUE;
        default: return FALSE;
      }
    default: return FALSE;
  }
}

}  // namespace

bool debug_window_available() { return winauto::display_available(); }

StepAnswer debug_window(Context& c, const StepView& view) {
  if (!debug_window_available()) return StepAnswer::failed;
  // The user may look at the script's files while the window waits.
  files::flush_writes(c);
  const Template t = debug_template(view);
  const INT_PTR result = DialogBoxIndirectParamW(this_module(), t.get(), reinterpret_cast<HWND>(c.ownWindow),
                                                 DebugProc, reinterpret_cast<LPARAM>(&view));
  switch (result) {
    case kEndStep: return StepAnswer::step;
    case kEndRun: return StepAnswer::run;
    case kEndCancel: return StepAnswer::cancel;
    default: return StepAnswer::failed;
  }
}

}  // namespace orv::ui

extern "C" __declspec(dllexport) INT_PTR CALLBACK DebugProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return orv::ui::guarded_dialog_proc(dialog, [&] { return orv::ui::debug_message(dialog, message, wParam, lParam); });
}
