// The dialog window: an in-memory template of the class "qr0wcdl3", controls
// built on creation in tab order, events carried to the script's callback,
// and the ending with its written-back variables.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/no_throw.h"
#include "engine/udf.h"
#include "engine/value_ops.h"
#include "engine/trace/trace.h"
#include "engine/variables.h"
#include "ui/dialogs/controls_win32.h"
#include "ui/dialogs/run_win32.h"
#include "ui/dialogs/runtime.h"
#include "ui/guarded_proc_win32.h"
#include "ui/module_win32.h"

extern "C" __declspec(dllexport) INT_PTR CALLBACK MyDialogWndProc(HWND, UINT, WPARAM, LPARAM);
extern "C" __declspec(dllexport) LRESULT CALLBACK MyDialogWndProc2(HWND, UINT, WPARAM, LPARAM);

namespace orv::dialogs {

namespace {

constexpr wchar_t kClassName[] = L"qr0wcdl3";
constexpr wchar_t kRunProp[] = L"OrvDialogRun";

bool register_class() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(ui::this_module(), kClassName, &wc)) return true;
  if (!GetClassInfoExW(nullptr, MAKEINTRESOURCEW(0x8002), &wc)) return false;   // the system dialog class
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = MyDialogWndProc2;   // the system's dialog handling, behind our exception guard
  wc.hInstance = ui::this_module();
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

// DLGTEMPLATE words: header, no menu, our class, caption, font.
std::vector<WORD> build_template(const Definition& d, std::int32_t x, std::int32_t y) {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 1, 0);
  auto* h = reinterpret_cast<DLGTEMPLATE*>(t.data());
  h->style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT | WS_SYSMENU;
  if (d.resizable) h->style |= WS_THICKFRAME;
  h->style |= (x == -1 && y == -1) ? DS_CENTER : DS_ABSALIGN;
  h->cdit = 0;
  h->x = static_cast<short>(std::clamp(x, -0x7FFF, 0x7FFF));
  h->y = static_cast<short>(std::clamp(y, -0x7FFF, 0x7FFF));
  h->cx = static_cast<short>(std::min(d.width, 0x7FFF));
  h->cy = static_cast<short>(std::min(d.height, 0x7FFF));
  t.resize(sizeof(DLGTEMPLATE) / sizeof(WORD));
  t.push_back(0);   // menu
  for (wchar_t ch : std::wstring(kClassName)) t.push_back(ch);
  t.push_back(0);
  for (char16_t ch : widen(d.caption)) t.push_back(ch);
  t.push_back(0);
  t.push_back(8);   // point size of the dialog font
  for (wchar_t ch : std::wstring(L"MS Shell Dlg")) t.push_back(ch);
  t.push_back(0);
  return t;
}

COLORREF rgb(const Colour& c) { return RGB(c.r, c.g, c.b); }

int screen_dpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

std::int32_t variable_int(Context& c, const std::string& name) {
  const auto text = variable_text(c, name);
  if (!text) return 0;
  return parse_integer(*text).value_or(0);
}

std::vector<std::string> tab_items(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = list.find('\t', start);
    items.push_back(list.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return items;
    start = at + 1;
  }
}

struct ClassAndStyle { const wchar_t* cls; DWORD style; DWORD ex = 0; };

ClassAndStyle window_kind(const Control& k) {
  const DWORD align = (k.style & cs::kCenter) ? SS_CENTER : (k.style & cs::kRight) ? SS_RIGHT : SS_LEFT;
  switch (k.type) {
    case kStaticText: case kVaryText: return {L"STATIC", align};
    case kPicture: return {L"STATIC", SS_BITMAP};
    case kEditBox: {
      DWORD s = WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER;
      if (k.password || (k.style & cs::kPassword)) s |= ES_PASSWORD;
      if (k.style & cs::kReadOnly) s |= ES_READONLY;
      if (k.style & cs::kDigits) s |= ES_NUMBER;
      return {L"EDIT", s, WS_EX_CLIENTEDGE};
    }
    case kMultilineBox: {
      DWORD s = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER;
      if (k.style & cs::kReadOnly) s |= ES_READONLY;
      return {L"EDIT", s, WS_EX_CLIENTEDGE};
    }
    case kRadioButton: return {L"BUTTON", WS_TABSTOP | BS_AUTORADIOBUTTON};
    case kCheckBox: return {L"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX};
    case kPushButton:
      return {L"BUTTON", static_cast<DWORD>(WS_TABSTOP | ((k.style & cs::kDefButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON))};
    case kPictureButton: return {L"BUTTON", WS_TABSTOP | BS_BITMAP};
    case kGroupBox: return {L"BUTTON", BS_GROUPBOX};
    case kSpinner: return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, WS_EX_CLIENTEDGE};
    case kCalendar: return {MONTHCAL_CLASSW, WS_TABSTOP | WS_BORDER};
    case kDateTime: return {DATETIMEPICK_CLASSW, WS_TABSTOP};
    case kReportView: return {WC_LISTVIEWW, WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS};
    case kFileListBox:
      return {L"LISTBOX", WS_TABSTOP | LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER, WS_EX_CLIENTEDGE};
    case kItemBox:
      return {L"LISTBOX", WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL | WS_BORDER, WS_EX_CLIENTEDGE};
    case kDropListBox:
      return {L"COMBOBOX", static_cast<DWORD>(WS_TABSTOP | WS_VSCROLL | ((k.style & cs::kListOnly) ? CBS_DROPDOWNLIST : CBS_DROPDOWN))};
    default: return {nullptr, 0};
  }
}

bool fail_system(Context& c, std::uint16_t number) {
  const DWORD code = GetLastError();
  if (!code) return fail(c, number);
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, 511, nullptr);
  std::u16string t(reinterpret_cast<const char16_t*>(text));
  while (!t.empty() && (t.back() == u'\n' || t.back() == u'\r')) t.pop_back();
  return fail(c, number, narrow(t));
}

void fill_list(HWND w, int type, const std::string& list) {
  const UINT add = type == kDropListBox ? CB_ADDSTRING : LB_ADDSTRING;
  for (const std::string& item : tab_items(list))
    SendMessageW(w, add, 0, reinterpret_cast<LPARAM>(as_w(widen(item)).c_str()));
}

// Initial state from the bound variable.
bool set_initial_state(DialogRun& run, std::size_t index, HWND w) {
  Context& c = run.c;
  const Control& k = run.d.controls[index];
  switch (k.type) {
    case kSpinner:
      return build_spinner(run, index);
    case kCalendar: case kDateTime:
      return build_date_control(run, index);
    case kReportView:
      return build_report(run, index);
    case kEditBox: case kMultilineBox: {
      auto text = variable_text(c, k.variable);
      if (!text) {
        if (!set_string_variable(c, k.variable, "")) return false;
        text = "";
      }
      SetWindowTextW(w, as_w(widen(*text)).c_str());
      return true;
    }
    case kVaryText:
      SetWindowTextW(w, as_w(widen(variable_text(c, k.variable).value_or(k.text))).c_str());
      return true;
    case kRadioButton:
      SetWindowTextW(w, as_w(widen(k.text)).c_str());
      SendMessageW(w, BM_SETCHECK, variable_int(c, k.variable) == k.value ? BST_CHECKED : BST_UNCHECKED, 0);
      return true;
    case kCheckBox:
      SetWindowTextW(w, as_w(widen(k.text)).c_str());
      SendMessageW(w, BM_SETCHECK, (variable_int(c, k.variable) & k.value) == k.value ? BST_CHECKED : BST_UNCHECKED, 0);
      return true;
    case kFileListBox:
      list_files(run.windows[index], variable_text(c, k.variable).value_or(""));
      return true;
    case kItemBox: case kDropListBox:
      fill_list(w, k.type, variable_text(c, k.variable).value_or(""));
      if (k.type == kDropListBox && !(k.style & cs::kListOnly)) SetWindowTextW(w, L"");
      return true;
    default:
      SetWindowTextW(w, as_w(widen(k.text)).c_str());
      return true;
  }
}

// A layout made for another resolution keeps its look: the height follows
// the design's vertical base unit and resolution.
HFONT make_font(const Font& f, const DialogRun& run) {
  RECT units{0, 0, 4, 8};
  MapDialogRect(run.hwnd, &units);
  LOGFONTW lf{};
  const long long size = f.size < 0 ? -static_cast<long long>(f.size) : f.size;
  long long height = size * units.bottom / 8 / 1024;
  if (run.d.dpi) {
    const long long designY = run.d.baseY ? run.d.baseY : units.bottom;
    height = size * designY * screen_dpi() / (8LL * 1024 * run.d.dpi);
  }
  lf.lfHeight = size ? -static_cast<LONG>(std::min<long long>(height, 0x7FFF)) : 0;
  lf.lfWeight = f.weight;
  lf.lfItalic = f.italic;
  lf.lfUnderline = f.underline;
  lf.lfStrikeOut = f.strikeOut;
  lf.lfCharSet = f.charSet;
  lf.lfPitchAndFamily = f.pitchFamily;
  const std::u16string face = widen(f.face);
  std::memcpy(lf.lfFaceName, face.c_str(), std::min<std::size_t>(face.size(), 31) * sizeof(wchar_t));
  return CreateFontIndirectW(&lf);
}

bool build_menu(DialogRun& run, std::size_t index) {
  const Control& k = run.d.controls[index];
  ControlWindow& cw = run.windows[index];
  if (k.type == kMenuBar) {
    run.menuBar = CreateMenu();
    cw.subMenu = run.menuBar;
    return run.menuBar || fail(run.c, errs::kDialogMenuFailed);
  }
  // The parent: the bar or an item, which becomes a pop-up when it gains children.
  for (std::size_t p = 0; p < index; ++p) {
    const Control& parent = run.d.controls[p];
    if ((parent.type != kMenuBar && parent.type != kMenuItem) || lstrcmpiA(parent.name.c_str(), k.variable.c_str()) != 0)
      continue;
    ControlWindow& pw = run.windows[p];
    if (!pw.subMenu) pw.subMenu = CreatePopupMenu();
    if (!pw.subMenu) return fail(run.c, errs::kDialogMenuFailed);
    cw.menuId = static_cast<UINT>(kFirstControlId + index);
    UINT flags = MF_STRING;
    if (k.style & 131072) flags = MF_SEPARATOR;
    if (k.style & 262144) flags |= MF_MENUBREAK;
    if (k.style & cs::kDisabled) flags |= MF_GRAYED;
    if (k.style & 32768) flags |= MF_CHECKED;
    if (!AppendMenuW(pw.subMenu, flags, cw.menuId, as_w(widen(k.text)).c_str())) return fail(run.c, errs::kDialogMenuFailed);
    return true;
  }
  return fail(run.c, errs::kDialogMenuParentNotFound, k.variable);
}

// Menu items that gained children are turned into pop-ups after all are built.
bool finish_menus(DialogRun& run) {
  if (!run.menuBar) return true;
  for (std::size_t i = 0; i < run.windows.size(); ++i) {
    ControlWindow& cw = run.windows[i];
    if (run.d.controls[i].type != kMenuItem || !cw.subMenu) continue;
    for (std::size_t p = 0; p < i; ++p) {
      if (!run.windows[p].subMenu) continue;
      MENUITEMINFOW info{};
      info.cbSize = sizeof info;
      info.fMask = MIIM_SUBMENU;
      info.hSubMenu = cw.subMenu;
      if (SetMenuItemInfoW(run.windows[p].subMenu, cw.menuId, FALSE, &info)) break;
    }
  }
  return SetMenu(run.hwnd, run.menuBar) || fail(run.c, errs::kDialogMenuFailed);
}

bool build_controls(DialogRun& run) {
  run.windows.resize(run.d.controls.size());
  if (run.d.font) run.dialogFont = GdiObject(make_font(*run.d.font, run));
  if (run.d.background) run.dialogBrush = GdiObject(CreateSolidBrush(rgb(*run.d.background)));
  HFONT shared = run.dialogFont.h ? static_cast<HFONT>(run.dialogFont.h)
                                  : reinterpret_cast<HFONT>(SendMessageW(run.hwnd, WM_GETFONT, 0, 0));
  for (std::size_t i = 0; i < run.d.controls.size(); ++i) {
    const Control& k = run.d.controls[i];
    ControlWindow& cw = run.windows[i];
    if (k.type == kMenuBar || k.type == kMenuItem) {
      if (!build_menu(run, i)) return false;
      continue;
    }
    RECT r{k.x, k.y, k.x + k.width, k.y + k.height};
    to_pixels(run, r);
    DWORD visibility = 0;
    if (!(k.style & cs::kInvisible)) visibility |= WS_VISIBLE;
    if (k.style & cs::kDisabled) visibility |= WS_DISABLED;
    if (k.type == kComControl) {
      if (!build_com_control(run, i, r, visibility)) return false;
      continue;
    }
    const ClassAndStyle kind = window_kind(k);
    if (!kind.cls) return fail(run.c, errs::kDialogRequestUnsupported, k.name);   // a control kind this system cannot build
    const DWORD style = WS_CHILD | kind.style | visibility;
    const int height = k.type == kDropListBox ? (r.bottom - r.top) * 6 : r.bottom - r.top;
    SetLastError(0);
    cw.hwnd = CreateWindowExW(kind.ex, kind.cls, L"", style, r.left, r.top, r.right - r.left, height, run.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), ui::this_module(),
                              nullptr);
    if (!cw.hwnd) return fail_system(run.c, errs::kWindowCreateFailed);
    if (k.font) cw.font = GdiObject(make_font(*k.font, run));
    SendMessageW(cw.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(cw.font.h ? static_cast<HFONT>(cw.font.h) : shared), FALSE);
    if (k.textColour) cw.textColour = rgb(*k.textColour);
    else if (run.d.textColour) cw.textColour = rgb(*run.d.textColour);
    if (k.background) {
      cw.backColour = rgb(*k.background);
      cw.brush = GdiObject(CreateSolidBrush(cw.backColour));
    }
    if (!k.image.empty()) {
      HANDLE image = LoadImageW(nullptr, as_w(widen(k.image)).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
      if (!image) return fail(run.c, errs::kDialogImageNotFound, k.image);
      SendMessageW(cw.hwnd, k.type == kPicture ? STM_SETIMAGE : BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
    if (!set_initial_state(run, i, cw.hwnd)) return false;
  }
  return finish_menus(run);
}

std::u16string control_label(const DialogRun& run, int index) {
  if (index < 0) return run.d.version == 62 ? u"" : u"0";
  return widen(run.d.controls[static_cast<std::size_t>(index)].name);
}

// Dialogs placed at -1, -1 open where the last one that gave a result ended.
void remember_position(DialogRun& run) {
  POINT where{0, 0};   // a template places the client area
  RECT units{0, 0, 4, 8};
  if (!ClientToScreen(run.hwnd, &where) || !MapDialogRect(run.hwnd, &units) || units.right <= 0 || units.bottom <= 0) return;
  run.c.dialogX = static_cast<std::int32_t>((where.x * 4 + units.right / 2) / units.right);
  run.c.dialogY = static_cast<std::int32_t>((where.y * 8 + units.bottom / 2) / units.bottom);
}

void end_dialog(DialogRun& run, std::int32_t result) {
  if (result != 0 && !run.failedEnd) remember_position(run);
  run.result = result;
  run.ended = true;
  if (run.timerMs) KillTimer(run.hwnd, 1);
  EndDialog(run.hwnd, 1);
}

// The callback's answer applied to the event; `fallback` is the default action.
void apply_answer(DialogRun& run, std::int32_t answer, std::int32_t defaultResult, bool hasDefault, bool posted) {
  if (answer == -2) return;
  if (answer == -1) {
    if (!hasDefault) return;
    answer = defaultResult;
    if (answer != 0 && !write_back(run)) return;
  } else if (answer != 0 && !write_back(run)) {
    return;
  }
  if (posted) PostMessageW(run.hwnd, kMsgEnd, static_cast<WPARAM>(answer), 0);
  else end_dialog(run, answer);
}

enum class Called { no, dropped, yes };

// Calls the callback for an event. An event that comes while the callback
// runs (its script pumps messages) is dropped, default action and all.
Called call_back(DialogRun& run, int event, int control, std::string_view data, std::int32_t& answer) {
  if (run.udf < 0 || !run.events[static_cast<std::size_t>(event)] || run.ended) return Called::no;
  if (run.busy) return Called::dropped;
  Context& c = run.c;
  if (find_udf(c, run.d.procedure) != run.udf) return Called::no;   // the function was dropped meanwhile
  ArgSlots args{};
  ArgSlotGuard guard{c, args};
  make_int(args[1], static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(run.hwnd)));
  make_int(args[2], event);
  bool ok = true;
  if (run.d.version == 62) ok = make_string(c, args[3], narrow(control_label(run, control)));
  else make_int(args[3], control < 0 ? 0 : run.d.controls[static_cast<std::size_t>(control)].number);
  ok = ok && make_string(c, args[4], "") && make_string(c, args[5], data);
  const int wanted = std::min<int>(5, static_cast<int>(c.udfs[static_cast<std::size_t>(run.udf)].params.size()));
  Operand result{};
  ++run.busy;
  if (ok) trace::callback_triggered(c, trace::CallbackSource::dialog);
  ok = ok && call_udf(c, run.udf, args.data(), wanted, result);
  --run.busy;
  if (!run.busy && run.resizeWaiting) {
    run.resizeWaiting = false;
    PostMessageW(run.hwnd, kMsgResized, 0, 0);
  }
  if (ok) ok = to_int32(c, result);
  answer = ok ? result.i : 0;
  release_value(c, result);
  if (!ok || failed(c)) {
    // An error inside the callback ends the dialog and goes on to the script.
    run.failedEnd = true;
    if (!run.ended) end_dialog(run, 0);
  }
  return Called::yes;
}

void on_event(DialogRun& run, int event, int control, std::int32_t defaultResult, bool hasDefault, bool posted = false,
              std::string_view data = {}) {
  std::int32_t answer = -1;
  switch (call_back(run, event, control, data, answer)) {
    case Called::dropped:
      return;
    case Called::no:
      if (hasDefault && !run.ended) apply_answer(run, -1, defaultResult, true, posted);
      return;
    case Called::yes:
      if (!run.ended) apply_answer(run, answer, defaultResult, hasDefault, posted);
      return;
  }
}

// The event data of event 14: the event's name, then its parameters, all
// separated by tabs.
std::string com_event_data(const std::wstring& name, const std::vector<std::string>& params) {
  std::string data = narrow(std::u16string(name.begin(), name.end()));
  for (const std::string& p : params) data += "\t" + p;
  return data;
}

void on_command(DialogRun& run, WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (id == IDCANCEL) {
    on_event(run, kClose, -1, 0, true);
    return;
  }
  const int index = id - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= run.d.controls.size()) return;
  const Control& k = run.d.controls[static_cast<std::size_t>(index)];
  switch (k.type) {
    case kPushButton: case kPictureButton:
      if (code == BN_CLICKED) on_event(run, kPushButton_, index, k.value, true);
      return;
    case kRadioButton:
      if (code == BN_CLICKED) on_event(run, kRadio, index, 0, false);
      return;
    case kCheckBox:
      if (code == BN_CLICKED) on_event(run, kCheck, index, 0, false);
      return;
    case kEditBox: case kMultilineBox:
      if (code == EN_CHANGE) on_event(run, kEditText, index, 0, false, true);
      return;
    case kFileListBox: case kItemBox: {
      const bool dbl = code == LBN_DBLCLK;
      if (code == LBN_SELCHANGE || dbl)
        on_event(run, (k.type == kItemBox ? kItemSelect : kFileSelect) + (dbl ? 6 : 0), index, 0, false);
      return;
    }
    case kDropListBox:
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) on_event(run, kDropChange, index, 0, false, true);
      return;
    case kMenuItem:
      on_event(run, kMenuSelect, index, 0, false);
      return;
    case kSpinner:   // arrows and typing both change the edit part
      if (code == EN_CHANGE) on_event(run, kSpinChange, index, 0, false, true);
      return;
    default:
      return;
  }
}

// A notification's answer to the view, when it needs one.
struct NotifyAnswer {
  bool given = false;
  LRESULT value = 0;
};

// A heading click: the callback may keep the view as it is (-2); otherwise
// a view with an ascending or descending style sorts by that column, the
// same column again the other way round. A failed sort ends the dialog.
void on_heading_click(DialogRun& run, int index, int column) {
  std::int32_t answer = -1;
  const Called got = call_back(run, kReportHeader, index, std::to_string(column + 1), answer);
  if (got == Called::dropped || run.ended) return;
  if (got == Called::yes && answer != -1) {
    apply_answer(run, answer, 0, false, true);
    return;
  }
  const std::size_t i = static_cast<std::size_t>(index);
  const std::uint32_t style = run.d.controls[i].style;
  const bool ascending = style & 16777216, descending = style & 33554432;
  if (!ascending && !descending) return;
  const ControlWindow& cw = run.windows[i];
  const bool down = cw.sortColumn == column ? !cw.sortDescending : descending;
  if (!sort_report(run, i, column, down)) {
    run.failedEnd = true;
    end_dialog(run, 0);
  }
}

// Rows selected, double-clicked, checked or edited, headings clicked, and
// the rows' own colours while the view paints.
NotifyAnswer on_report_notify(DialogRun& run, int index, NMHDR& n) {
  const ControlWindow& cw = run.windows[static_cast<std::size_t>(index)];
  // The view reads the colours back from the block it sent.
  if (n.code == NM_CUSTOMDRAW) return {true, report_custom_draw(cw, reinterpret_cast<NMLVCUSTOMDRAW&>(n))};
  if (run.quiet) return {};
  if (n.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(n);
    if (!(change.uChanged & LVIF_STATE) || change.iItem < 0) return {};
    if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED))
      on_event(run, kReportSelect, index, 0, false, true);
    // A check box that changes, not one that first appears.
    const UINT before = change.uOldState & LVIS_STATEIMAGEMASK, after = change.uNewState & LVIS_STATEIMAGEMASK;
    if (before && after && before != after && !run.ended) {
      const bool on = after == INDEXTOSTATEIMAGEMASK(2);
      on_event(run, kReportCheck, index, 0, false, true, std::to_string(change.iItem + 1) + (on ? "\t1" : "\t0"));
    }
  } else if (n.code == NM_DBLCLK) {
    if (reinterpret_cast<const NMITEMACTIVATE&>(n).iItem >= 0) on_event(run, kReportDouble, index, 0, false, true);
  } else if (n.code == LVN_COLUMNCLICK) {
    on_heading_click(run, index, reinterpret_cast<const NMLISTVIEW&>(n).iSubItem);
  } else if (n.code == LVN_ENDLABELEDITW) {
    // The edited text goes to the callback before the view takes it; -2 refuses it.
    const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(n);
    if (!edit.item.pszText) return {true, FALSE};
    const std::u16string text(reinterpret_cast<const char16_t*>(edit.item.pszText));
    std::int32_t answer = -1;
    const Called got = call_back(run, kReportText, index, std::to_string(edit.item.iItem + 1) + "\t" + narrow(text), answer);
    if (got != Called::yes || run.ended) return {true, run.ended ? FALSE : TRUE};
    if (answer == -2) return {true, FALSE};
    apply_answer(run, answer, 0, false, true);
    return {true, TRUE};
  }
  return {};
}

NotifyAnswer on_notify(DialogRun& run, NMHDR& n) {
  const int index = static_cast<int>(n.idFrom) - kFirstControlId;
  if (index < 0 || static_cast<std::size_t>(index) >= run.d.controls.size()) return {};
  if (run.windows[static_cast<std::size_t>(index)].hwnd != n.hwndFrom) return {};
  const int type = run.d.controls[static_cast<std::size_t>(index)].type;
  if (type == kCalendar && n.code == MCN_SELCHANGE) on_event(run, kCalendarChange, index, 0, false, true);
  else if (type == kDateTime && n.code == DTN_DATETIMECHANGE) on_event(run, kDateTimeChange, index, 0, false, true);
  else if (type == kReportView) return on_report_notify(run, index, n);
  return {};
}

POINT client_units(DialogRun& run) {
  RECT client{};
  GetClientRect(run.hwnd, &client);
  const RECT units = dialog_units(run);
  // Rounded: pixels scaled down from units must give the same units back.
  return {(client.right * 4 + units.right / 2) / units.right, (client.bottom * 8 + units.bottom / 2) / units.bottom};
}

}  // namespace

// The control's colours and font are its ambient properties: its own, else
// the dialog's, else the system's.
bool build_com_control(DialogRun& run, std::size_t index, const RECT& r, DWORD style) {
  const Control& k = run.d.controls[index];
  ControlWindow& cw = run.windows[index];
  if (k.font) cw.font = GdiObject(make_font(*k.font, run));
  com::Ambient ambient;
  ambient.font = cw.font.h ? static_cast<HFONT>(cw.font.h)
                           : run.dialogFont.h ? static_cast<HFONT>(run.dialogFont.h)
                                              : reinterpret_cast<HFONT>(SendMessageW(run.hwnd, WM_GETFONT, 0, 0));
  if (k.textColour) cw.textColour = rgb(*k.textColour);
  else if (run.d.textColour) cw.textColour = rgb(*run.d.textColour);
  if (k.background) cw.backColour = rgb(*k.background);
  else if (run.d.background) cw.backColour = rgb(*run.d.background);
  ambient.fore = cw.textColour;
  ambient.back = cw.backColour;
  ambient.name = as_w(widen(k.name));
  DialogRun* owner = &run;
  const int control = static_cast<int>(index);
  cw.host = com::create_control_host(
      run.c, run.hwnd, kFirstControlId + control, r, style, as_w(widen(k.variable)), ambient,
      [owner, control](const std::wstring& event, const std::vector<std::string>& params) {
        if (!owner->ended) on_event(*owner, kComEvent, control, 0, false, true, com_event_data(event, params));
      });
  if (!cw.host) return false;
  cw.hwnd = com::host_window(*cw.host);
  return true;
}

RECT dialog_units(const DialogRun& run) {
  RECT units{0, 0, 4, 8};
  MapDialogRect(run.hwnd, &units);
  if (run.d.dpi) {   // the design's base units at the design's resolution, seen at ours
    const int dpi = screen_dpi();
    units.right = MulDiv(run.d.baseX ? run.d.baseX : units.right, dpi, run.d.dpi);
    units.bottom = MulDiv(run.d.baseY ? run.d.baseY : units.bottom, dpi, run.d.dpi);
  }
  units.right = std::max<LONG>(units.right, 1);
  units.bottom = std::max<LONG>(units.bottom, 1);
  return units;
}

void to_pixels(const DialogRun& run, RECT& r) {
  const RECT units = dialog_units(run);
  r.left = MulDiv(r.left, units.right, 4);
  r.right = MulDiv(r.right, units.right, 4);
  r.top = MulDiv(r.top, units.bottom, 8);
  r.bottom = MulDiv(r.bottom, units.bottom, 8);
}

// The client area as defined, whatever the menu bar or a design resolution
// did to the size the template gave.
void size_window(DialogRun& run) {
  RECT wanted{0, 0, run.d.width, run.d.height}, client{};
  to_pixels(run, wanted);
  GetClientRect(run.hwnd, &client);
  if (client.right == wanted.right && client.bottom == wanted.bottom) return;
  AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_STYLE)), GetMenu(run.hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_EXSTYLE)));
  SetWindowPos(run.hwnd, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Controls keep their share of the client area: places and sizes grow and
// shrink with the dialog, all moved in one deferred move so that they are
// drawn once.
void layout_controls(DialogRun& run) {
  RECT design{0, 0, run.d.width, run.d.height}, client{};
  to_pixels(run, design);
  GetClientRect(run.hwnd, &client);
  if (design.right <= 0 || design.bottom <= 0 || client.right <= 0 || client.bottom <= 0) return;
  // At the defined size a control stands where its units put it; at any other
  // size its units are scaled to the client area directly (scaling pixels that
  // were rounded already would grow the rounding with the dialog).
  const bool definedWidth = client.right == design.right, definedHeight = client.bottom == design.bottom;
  HDWP moves = BeginDeferWindowPos(static_cast<int>(run.windows.size()));
  for (std::size_t i = 0; moves && i < run.windows.size(); ++i) {
    const Control& k = run.d.controls[i];
    const HWND w = run.windows[i].hwnd;
    if (!w) continue;
    RECT r{k.x, k.y, k.x + k.width, k.y + k.height};
    to_pixels(run, r);
    if (!definedWidth) {
      r.left = MulDiv(k.x, client.right, run.d.width);
      r.right = MulDiv(k.x + k.width, client.right, run.d.width);
    }
    if (!definedHeight) {
      r.top = MulDiv(k.y, client.bottom, run.d.height);
      r.bottom = MulDiv(k.y + k.height, client.bottom, run.d.height);
    }
    const int height = (r.bottom - r.top) * (k.type == kDropListBox ? 6 : 1);
    moves = DeferWindowPos(moves, w, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (moves) EndDeferWindowPos(moves);
  for (const ControlWindow& cw : run.windows)   // a spinner's arrows follow their edit part
    if (cw.partner) SendMessageW(cw.partner, UDM_SETBUDDY, reinterpret_cast<WPARAM>(cw.hwnd), 0);
}

namespace {

// Sizes are reported in whole dialog units: a change smaller than one is not
// a resize. The event waits for a free callback rather than being dropped.
void on_resized(DialogRun& run) {
  run.resizePending = false;
  if (IsIconic(run.hwnd)) return;
  layout_controls(run);
  const POINT now = client_units(run);
  if (now.x == run.sizeX && now.y == run.sizeY) return;
  if (run.busy) {   // a callback that pumps messages; it asks again when it returns
    run.resizeWaiting = true;
    return;
  }
  const std::string data = std::to_string(now.x - run.sizeX) + " " + std::to_string(now.y - run.sizeY) + " " +
                           std::to_string(now.x) + " " + std::to_string(now.y);
  run.sizeX = now.x;
  run.sizeY = now.y;
  on_event(run, kResize, -1, 0, false, false, data);
}

void min_track_size(DialogRun& run, MINMAXINFO& info) {
  RECT r{0, 0, run.d.minWidth, run.d.minHeight};
  to_pixels(run, r);
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_STYLE)), GetMenu(run.hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_EXSTYLE)));
  info.ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
}

// The bitmap of request 1001, stretched over the client area.
void paint_background(DialogRun& run, HDC dc) {
  RECT client{};
  GetClientRect(run.hwnd, &client);
  BITMAP bm{};
  GetObjectW(run.backgroundBitmap.h, sizeof bm, &bm);
  struct MemoryDc {
    HDC h;
    HGDIOBJ old = nullptr;
    MemoryDc(HDC like, HGDIOBJ bitmap) : h(CreateCompatibleDC(like)) { if (h) old = SelectObject(h, bitmap); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
      if (!h) return;
      SelectObject(h, old);
      DeleteDC(h);
    }
  } memory(dc, run.backgroundBitmap.h);
  if (memory.h) StretchBlt(dc, 0, 0, client.right, client.bottom, memory.h, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
}

LRESULT colour_control(DialogRun& run, HDC dc, HWND control) {
  for (ControlWindow& cw : run.windows) {
    if (cw.hwnd != control) continue;
    if (cw.textColour != CLR_INVALID) SetTextColor(dc, cw.textColour);
    if (cw.brush.h) {
      SetBkColor(dc, cw.backColour);
      return reinterpret_cast<LRESULT>(cw.brush.h);
    }
    break;
  }
  if (run.dialogBrush.h) {
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(run.dialogBrush.h);
  }
  return 0;
}

INT_PTR dialog_message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<DialogRun*>(lParam);
    run->hwnd = hwnd;
    SetPropW(hwnd, kRunProp, run);
    if (!build_controls(*run)) {
      run->failedEnd = true;
      end_dialog(*run, 0);
      return TRUE;
    }
    size_window(*run);
    on_event(*run, kInit, -1, 0, false);
    return TRUE;
  }
  auto* run = static_cast<DialogRun*>(GetPropW(hwnd, kRunProp));
  if (!run) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (!run->ended) on_command(*run, wParam);
      return TRUE;
    case WM_TIMER:
      if (wParam == 1 && !run->ended) on_event(*run, kTimer, -1, 0, false);
      return TRUE;
    case kMsgEnd:
      if (!run->ended) end_dialog(*run, static_cast<std::int32_t>(wParam));
      return TRUE;
    case kMsgRequest:
      handle_request(*run, *reinterpret_cast<Request*>(lParam));
      return TRUE;
    case WM_NOTIFY: {
      if (run->ended) return FALSE;
      const NotifyAnswer answer = on_notify(*run, *reinterpret_cast<NMHDR*>(lParam));
      if (!answer.given) return FALSE;
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, answer.value);
      return TRUE;
    }
    case WM_SIZE:
      if (run->d.resizable && !run->ended && !run->resizePending) {
        run->resizePending = true;
        PostMessageW(hwnd, kMsgResized, 0, 0);
      }
      return FALSE;
    case kMsgResized:
      if (!run->ended) on_resized(*run);
      return TRUE;
    case WM_GETMINMAXINFO:
      if (!run->d.resizable) return FALSE;
      min_track_size(*run, *reinterpret_cast<MINMAXINFO*>(lParam));
      return TRUE;
    case WM_ERASEBKGND:
      if (!run->backgroundBitmap.h) return FALSE;
      paint_background(*run, reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC: case WM_CTLCOLOREDIT: case WM_CTLCOLORBTN: case WM_CTLCOLORLISTBOX:
      return static_cast<INT_PTR>(colour_control(*run, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(run->dialogBrush.h);
    case WM_NCDESTROY:
      RemovePropW(hwnd, kRunProp);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool run_dialog(Context& c, const Definition& d, std::int32_t& result) {
  if (!init_common_controls(c)) return false;
  if (!register_class()) return fail_system(c, errs::kWindowCreateFailed);
  DialogRun run(c, d);
  run.events[kInit] = true;
  if (!d.procedure.empty() && std::isalpha(static_cast<unsigned char>(d.procedure[0])))
    run.udf = find_udf(c, d.procedure);
  const bool placed = d.x != -1 || d.y != -1;
  const std::vector<WORD> tmpl = build_template(d, placed ? d.x : c.dialogX, placed ? d.y : c.dialogY);
  HWND owner = reinterpret_cast<HWND>(c.ownWindow);
  SetLastError(0);
  const INT_PTR r = DialogBoxIndirectParamW(ui::this_module(), reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), owner,
                                            MyDialogWndProc, reinterpret_cast<LPARAM>(&run));
  if (owner) SetForegroundWindow(owner);
  if (r == -1 || r == 0) {
    if (!failed(c)) fail_system(c, errs::kWindowCreateFailed);
    return false;
  }
  if (run.failedEnd || failed(c)) return !failed(c) ? fail(c, errs::kWindowCreateFailed) : false;
  result = run.result;
  return true;
}

// The dialog functions: the handle names a window of ours; the request runs
// on that window's own message handling.
namespace {
void forward(Call& call) {
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(call.args[1].i));
  DialogRun* run = IsWindow(hwnd) ? static_cast<DialogRun*>(GetPropW(hwnd, kRunProp)) : nullptr;
  if (!run || &run->c != &call.c) {
    fail(call.c, errs::kBadValue, int_to_text(call.args[1].i));
    return;
  }
  Request r{call, call.id};
  SendMessageW(hwnd, kMsgRequest, 0, reinterpret_cast<LPARAM>(&r));
}
}  // namespace

void proc_options(Call& call) { forward(call); }
void control_state(Call& call) { forward(call); }
void control_get(Call& call) { forward(call); }
void control_set(Call& call) { forward(call); }
void dialog_object(Call& call) { forward(call); }

}  // namespace orv::dialogs

// Exported so hosts and tools can recognise our dialogs; every message is guarded.
extern "C" __declspec(dllexport) INT_PTR CALLBACK MyDialogWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return orv::ui::guarded_dialog_proc(hwnd, [&] { return orv::dialogs::dialog_message(hwnd, message, wParam, lParam); });
}

extern "C" __declspec(dllexport) LRESULT CALLBACK MyDialogWndProc2(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return orv::export_guard<LRESULT>(0, [&] {
    return DefDlgProcW(hwnd, message, wParam, lParam);
  });
}
