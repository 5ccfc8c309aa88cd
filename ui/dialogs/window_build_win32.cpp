// Building the dialog window: an in-memory template of the class "qr0wcdl3",
// then the controls created on opening in tab order with their fonts,
// colours, menus and initial states from the bound variables.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/udf.h"
#include "engine/variables.h"
#include "ui/dialogs/controls_win32.h"
#include "ui/dialogs/run_win32.h"
#include "ui/dialogs/runtime.h"
#include "ui/dialogs/window_win32.h"
#include "ui/module_win32.h"

extern "C" __declspec(dllexport) INT_PTR CALLBACK MyDialogWndProc(HWND, UINT, WPARAM, LPARAM);
extern "C" __declspec(dllexport) LRESULT CALLBACK MyDialogWndProc2(HWND, UINT, WPARAM, LPARAM);

namespace orv::dialogs {

namespace {

constexpr wchar_t kClassName[] = L"qr0wcdl3";

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

}  // namespace

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

}  // namespace orv::dialogs
