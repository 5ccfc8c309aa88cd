// What the dialog functions do to a running dialog, on the dialog window's
// own message handling; and the writing back of the controls' values.
#include <windows.h>
#include <commctrl.h>

#include <map>

#include "builtins/strings/text.h"
#include "com/picture_win32.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "ui/dialogs/controls_win32.h"
#include "ui/dialogs/run_win32.h"

namespace orv::dialogs {

std::u16string widen(std::string_view s) {
  std::u16string out;
  platform::ansi_to_utf16(s, out);
  return out;
}

std::string narrow(std::u16string_view s) {
  std::string out;
  platform::utf16_to_ansi(s, out);
  return out;
}

std::u16string window_text(HWND w) {
  const int length = GetWindowTextLengthW(w);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(w, text.data(), length + 1)));
  return std::u16string(text.begin(), text.end());
}

namespace {

bool checked(HWND w) { return SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::u16string list_item(HWND w, int type, LRESULT index) {
  const bool combo = type == kDropListBox;
  const LRESULT length = SendMessageW(w, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(w, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return std::u16string(text.begin(), text.end());
}

std::u16string list_contents(HWND w, int type) {
  const LRESULT count = SendMessageW(w, type == kDropListBox ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  std::u16string out;
  for (LRESULT k = 0; k < count; ++k) {
    if (k) out += u'\t';
    out += list_item(w, type, k);
  }
  return out;
}

std::u16string list_selection(HWND w, int type) {
  if (type == kDropListBox) return window_text(w);
  const LRESULT at = SendMessageW(w, LB_GETCURSEL, 0, 0);
  return at == LB_ERR ? std::u16string() : list_item(w, type, at);
}

// A file list box gives its selection with the folder in front.
std::u16string selection_value(const ControlWindow& cw, int type) {
  std::u16string item = list_selection(cw.hwnd, type);
  if (type != kFileListBox || item.empty()) return item;
  return std::u16string(cw.folder.begin(), cw.folder.end()) + item;
}

bool is_list(int type) { return type == kFileListBox || type == kItemBox || type == kDropListBox; }
bool has_title(int type) {
  switch (type) {
    case kStaticText: case kRadioButton: case kCheckBox: case kVaryText: case kPushButton: case kPictureButton:
    case kPicture: case kGroupBox: case kMenuItem:
      return true;
    default:
      return false;
  }
}

void result_text(Call& call, std::u16string_view text) { strings::set_result(call, std::string_view(narrow(text))); }

bool int_argument(Call& call, int k, std::int32_t& out) {
  if (k > call.count) return fail(call.c, errs::kDialogNumberExpected);
  Value v{};
  if (!copy_value(call.c, call.args[static_cast<std::size_t>(k)], v)) return false;
  const bool ok = to_int32(call.c, v);
  out = v.i;
  release_value(call.c, v);
  if (!ok) {
    call.c.error = 0;
    return fail(call.c, errs::kDialogNumberExpected);
  }
  return true;
}

std::string text_argument(Call& call, int k) {
  std::string out;
  if (k <= call.count && !value_text(call.c, call.args[static_cast<std::size_t>(k)], out)) return {};
  return out;
}

// Request 1001: a colour, a bitmap file, or both separated by ","; -1 only
// reads. The result is the previous setting as it was given.
void set_background(DialogRun& run, Call& call) {
  const std::string value = text_argument(call, 3);
  if (failed(call.c)) return;
  const std::string previous = run.background;
  if (value == "-1") {
    strings::set_result(call, std::string_view(previous));
    return;
  }
  GdiObject brush, bitmap;
  ItemReader items(value);
  while (!items.at_end()) {
    const std::string item = items.next(false, false);
    if (item.empty()) continue;
    // As in definitions: a colour has "|" or is H and hexadecimal digits.
    const bool hex = item.size() > 1 && (item[0] == 'H' || item[0] == 'h') &&
                     item.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
    if (item.find('|') != std::string::npos || hex) {
      const auto colour = parse_colour(item);
      if (!colour) { fail(call.c, errs::kDialogBadColour, item); return; }
      brush = GdiObject(CreateSolidBrush(RGB(colour->r, colour->g, colour->b)));
    } else {
      bitmap = GdiObject(LoadImageW(nullptr, as_w(widen(item)).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
      if (!bitmap.h) { fail(call.c, errs::kDialogBadBitmap, item); return; }
    }
  }
  run.dialogBrush = std::move(brush);
  run.backgroundBitmap = std::move(bitmap);
  run.background = value;
  InvalidateRect(run.hwnd, nullptr, TRUE);
  strings::set_result(call, std::string_view(previous));
}

bool date_kind(int type) { return type == kCalendar || type == kDateTime; }

// ---- DialogProcOptions ----
void proc_options(DialogRun& run, Call& call) {
  const std::int32_t request = call.args[2].i;
  std::int32_t value = -1;
  // The title and the control name are texts; every other value is a number.
  if (request != 1001 && request != 1003 && request != 1005 && !int_argument(call, 3, value)) return;
  if (request >= 0 && request < kEventCount) {
    if ((run.d.version != 62 && request >= 15) || (request == 17 && !run.d.resizable)) {
      fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request));
      return;
    }
    if (request == kTimer) {
      make_int(call.result, static_cast<std::int32_t>(run.timerMs));
      if (value < 0) return;
      if (value == 0) {
        if (run.timerMs) KillTimer(run.hwnd, 1);
        run.timerMs = 0;
        run.events[kTimer] = false;
      } else {
        if (!SetTimer(run.hwnd, 1, static_cast<UINT>(value), nullptr)) { fail(call.c, errs::kDialogTimerRefused); return; }
        run.timerMs = static_cast<UINT>(value);
        run.events[kTimer] = true;
      }
      return;
    }
    make_int(call.result, run.events[static_cast<std::size_t>(request)] ? 1 : 0);
    if (value >= 0) run.events[static_cast<std::size_t>(request)] = value != 0;
    return;
  }
  switch (request) {
    case 1000:
      make_int(call.result, run.disabled ? 1 : 0);
      if (value >= 0) {
        run.disabled = value != 0;
        EnableWindow(run.hwnd, !run.disabled);
      }
      return;
    case 1001:
      set_background(run, call);
      return;
    case 1002:
      make_int(call.result, run.sysMenu);
      if (value >= 0) run.sysMenu = value;
      return;
    case 1003: {
      const std::u16string previous = window_text(run.hwnd);
      const std::string title = text_argument(call, 3);
      if (title != "-1") SetWindowTextW(run.hwnd, as_w(widen(title)).c_str());
      result_text(call, previous);
      return;
    }
    case 1004:
      for (const Control& k : run.d.controls)
        if (k.number == value) { strings::set_result(call, std::string_view(k.name)); return; }
      fail(call.c, errs::kDialogBadControl, std::to_string(value));
      return;
    case 1005: {
      const std::string name = text_argument(call, 3);
      for (const Control& k : run.d.controls)
        if (lstrcmpiA(k.name.c_str(), name.c_str()) == 0) { make_int(call.result, k.number); return; }
      fail(call.c, errs::kDialogBadName, name);
      return;
    }
    case 1007: {
      RECT client{};
      GetClientRect(run.hwnd, &client);
      const RECT units = dialog_units(run);
      // Rounded, as the resize event reports it: a size given in units comes back the same.
      const std::string size = std::to_string((client.right * 4 + units.right / 2) / units.right) + " " +
                               std::to_string((client.bottom * 8 + units.bottom / 2) / units.bottom);
      strings::set_result(call, std::string_view(size));
      return;
    }
    default:
      fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request));
  }
}

// ---- DialogControlState ----
void control_state(DialogRun& run, Call& call, int index) {
  Control& k = run.d.controls[static_cast<std::size_t>(index)];
  ControlWindow& cw = run.windows[static_cast<std::size_t>(index)];
  const std::int32_t request = call.args[3].i;
  switch (request) {
    case 1: {   // an ActiveX control's host passes the focus on to the control's own window
      const bool moved = cw.hwnd && SetFocus(cw.hwnd) != nullptr;
      const HWND now = GetFocus();
      make_int(call.result, moved || (now && (now == cw.hwnd || IsChild(cw.hwnd, now))) ? 1 : 0);
      return;
    }
    case 2:
      make_int(call.result, static_cast<std::int32_t>(k.style));
      return;
    case 3: case 4: {
      std::int32_t bits = 0;
      if (!int_argument(call, 4, bits)) return;
      auto& style = k.style;
      const std::uint32_t before = style;
      style = request == 3 ? (style | static_cast<std::uint32_t>(bits)) : (style & ~static_cast<std::uint32_t>(bits));
      if (cw.hwnd && style != before) {
        for (HWND part : {cw.hwnd, cw.partner}) {
          if (!part) continue;
          ShowWindow(part, (style & cs::kInvisible) ? SW_HIDE : SW_SHOWNA);
          EnableWindow(part, !(style & cs::kDisabled));
        }
        if (k.type == kEditBox || k.type == kMultilineBox)
          SendMessageW(cw.hwnd, EM_SETREADONLY, (style & cs::kReadOnly) ? TRUE : FALSE, 0);
        if (k.type == kReportView) apply_report_style(cw.hwnd, style);
        InvalidateRect(cw.hwnd, nullptr, TRUE);
      }
      make_int(call.result, style != before ? 1 : 0);
      return;
    }
    case 5: {
      const HWND focus = GetFocus();
      for (std::size_t i = 0; i < run.windows.size(); ++i) {
        if (!focus || (run.windows[i].hwnd != focus && !IsChild(run.windows[i].hwnd, focus))) continue;
        if (run.d.version == 62) strings::set_result(call, std::string_view(run.d.controls[i].name));
        else make_int(call.result, run.d.controls[i].number);
        return;
      }
      if (run.d.version == 62) strings::set_result(call, std::string_view(""));
      else make_int(call.result, 0);
      return;
    }
    case 6: {
      RECT r{};
      if (cw.hwnd && !IsIconic(run.hwnd) && GetWindowRect(cw.hwnd, &r)) SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      make_int(call.result, 1);
      return;
    }
    default:
      fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request));
  }
}

// ---- DialogControlGet ----
void control_get(DialogRun& run, Call& call, int index) {
  const Control& k = run.d.controls[static_cast<std::size_t>(index)];
  const HWND w = run.windows[static_cast<std::size_t>(index)].hwnd;
  const std::int32_t request = call.args[3].i;
  if (request < 1 || request > 31) { fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request)); return; }
  if (k.type == kReportView && report_get(run, call, static_cast<std::size_t>(index), request)) return;
  if (request == 1 && k.type == kCheckBox) { make_int(call.result, checked(w) ? 1 : 0); return; }
  if (request == 2 && k.type == kRadioButton) { strings::set_result(call, std::string_view(checked(w) ? "1" : "0")); return; }
  if (request == 3 && (k.type == kEditBox || k.type == kMultilineBox || k.type == kDateTime)) {
    result_text(call, window_text(w));
    return;
  }
  if (request == 7 && date_kind(k.type)) {
    strings::set_result(call, std::string_view(ymdhms_of(call.c, get_date(k.type, w), k.type == kDateTime)));
    return;
  }
  if (request == 8 && k.type == kSpinner) {
    make_int(call.result, spinner_position(run.windows[static_cast<std::size_t>(index)]));
    return;
  }
  if (request == 4 && has_title(k.type)) {
    if (k.type != kMenuItem) { result_text(call, window_text(w)); return; }
    for (const ControlWindow& p : run.windows) {
      wchar_t text[512] = {};
      if (p.subMenu && GetMenuStringW(p.subMenu, run.windows[static_cast<std::size_t>(index)].menuId, text, 511, MF_BYCOMMAND)) {
        result_text(call, std::u16string(reinterpret_cast<const char16_t*>(text)));
        return;
      }
    }
    strings::set_result(call, std::string_view(k.text));
    return;
  }
  if (k.type == kReportView && (request == 5 || request == 6)) {
    result_text(call, report_rows(w, request == 6));
    return;
  }
  if (request == 5 && is_list(k.type)) { result_text(call, list_contents(w, k.type)); return; }
  if (request == 6 && is_list(k.type)) {
    result_text(call, selection_value(run.windows[static_cast<std::size_t>(index)], k.type));
    return;
  }
  if (request == 19 && w) { make_int(call.result, static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(w))); return; }
  if (request == 17 && w) {   // where the control is now, in dialog units
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, run.hwnd, reinterpret_cast<POINT*>(&r), 2);
    const RECT units = dialog_units(run);
    const LONG ux = std::max<LONG>(units.right, 1), uy = std::max<LONG>(units.bottom, 1);
    auto du = [](LONG px, LONG unit, LONG per) { return std::to_string((px * per + unit / 2) / unit); };
    const LONG height = k.type == kDropListBox ? (r.bottom - r.top) / 6 : r.bottom - r.top;
    strings::set_result(call, std::string_view(du(r.left, ux, 4) + " " + du(r.top, uy, 8) + " " + du(r.right - r.left, ux, 4) +
                                               " " + du(height, uy, 8)));
    return;
  }
  fail(call.c, errs::kDialogRequestUnsupported);
}

// ---- DialogControlSet ----
bool numeric_request(std::int32_t r) { return r == 1 || r == 2 || r == 8 || r == 10 || r == 23 || r == 25; }

void control_set(DialogRun& run, Call& call, int index) {
  Control& k = run.d.controls[static_cast<std::size_t>(index)];
  ControlWindow& cw = run.windows[static_cast<std::size_t>(index)];
  const HWND w = cw.hwnd;
  const std::int32_t request = call.args[3].i;
  if (request < 1 || request > 31) { fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request)); return; }
  if (k.type == kReportView && request == 5 && call.count >= 4 && is_report_array(call.c, call.args[4])) {
    cw.formats.clear();
    cw.rowColours.clear();
    cw.sortColumn = -1;
    if (load_report(call.c, w, call.args[4])) make_int(call.result, 1);
    return;
  }
  std::int32_t number = 0;
  std::string text;
  if (numeric_request(request)) {
    if (!int_argument(call, 4, number)) return;
  } else {
    if (call.count >= 4 && !value_text(call.c, call.args[4], text)) return;
  }
  if (k.type == kReportView && report_set(run, call, static_cast<std::size_t>(index), request, text, number)) return;
  const std::wstring wide = as_w(widen(text));
  const bool combo = k.type == kDropListBox;
  auto done = [&] { make_int(call.result, 1); };
  if (request == 1 && k.type == kCheckBox) { SendMessageW(w, BM_SETCHECK, number ? BST_CHECKED : BST_UNCHECKED, 0); return done(); }
  if (request == 2 && k.type == kRadioButton) {
    for (std::size_t i = 0; i < run.d.controls.size(); ++i)
      if (run.d.controls[i].type == kRadioButton && lstrcmpiA(run.d.controls[i].variable.c_str(), k.variable.c_str()) == 0)
        SendMessageW(run.windows[i].hwnd, BM_SETCHECK, run.windows[i].hwnd == w && number ? BST_CHECKED : BST_UNCHECKED, 0);
    return done();
  }
  if (request == 3 && (k.type == kEditBox || k.type == kMultilineBox)) {
    SetWindowTextW(w, wide.c_str());
    SendMessageW(w, EM_SETSEL, wide.size(), wide.size());
    return done();
  }
  if (request == 7 && date_kind(k.type)) {
    const auto when = systemtime_of(text);
    if (!when) { fail(call.c, errs::kDialogBadTimeValue, text); return; }
    set_date(k.type, w, *when);
    return done();
  }
  if (request == 8 && k.type == kSpinner) {
    set_spinner_position(cw, number);
    return done();
  }
  if (request == 4 && has_title(k.type)) {
    if (k.type == kMenuItem) {
      for (const ControlWindow& p : run.windows)
        if (p.subMenu) ModifyMenuW(p.subMenu, cw.menuId, MF_BYCOMMAND | MF_STRING, cw.menuId, wide.c_str());
      if (run.menuBar) DrawMenuBar(run.hwnd);
    } else {
      SetWindowTextW(w, wide.c_str());
    }
    return done();
  }
  if (is_list(k.type) && (request == 5 || request == 6 || request == 14 || request == 15)) {
    if (request == 5 && k.type == kFileListBox) {   // a new mask or folder
      list_files(cw, text);
      return done();
    }
    if (request == 5) {
      SendMessageW(w, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
      std::size_t start = 0;
      while (!wide.empty()) {
        const std::size_t at = wide.find(L'\t', start);
        SendMessageW(w, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.substr(start, at - start).c_str()));
        if (at == std::wstring::npos) break;
        start = at + 1;
      }
      return done();
    }
    if (request == 14) {
      SendMessageW(w, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
      return done();
    }
    const LRESULT at = SendMessageW(w, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(wide.c_str()));
    if (at < 0) { fail(call.c, errs::kDialogItemsNotFound, text); return; }
    if (request == 15) SendMessageW(w, combo ? CB_DELETESTRING : LB_DELETESTRING, static_cast<WPARAM>(at), 0);
    else SendMessageW(w, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    return done();
  }
  if (k.type == kReportView && (request == 5 || request == 6 || request == 14 || request == 15)) {
    const std::u16string wtext = widen(text);
    if (request == 5) {
      SendMessageW(w, LVM_DELETEALLITEMS, 0, 0);
      add_report_rows(w, wtext);
      return done();
    }
    if (request == 14) {
      add_report_rows(w, wtext);
      return done();
    }
    const int row = find_report_row(w, wtext);
    if (row < 0) { fail(call.c, errs::kDialogItemsNotFound, text); return; }
    if (request == 15) SendMessageW(w, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    else select_report_row(w, row);
    return done();
  }
  if (request == 17 && w) {   // "x y width height" at the dialog's defined size
    std::int32_t place[4] = {};
    std::size_t at = 0;
    for (int n = 0; n < 4; ++n) {
      const std::size_t start = text.find_first_not_of(' ', at);
      const std::size_t end = start == std::string::npos ? std::string::npos : text.find(' ', start);
      const auto v = start == std::string::npos ? std::nullopt : parse_integer(text.substr(start, end - start));
      if (!v || (n >= 2 && *v < 0)) { fail(call.c, errs::kBadValue, text); return; }
      place[n] = *v;
      at = end == std::string::npos ? text.size() : end;
    }
    if (text.find_first_not_of(' ', at) != std::string::npos) { fail(call.c, errs::kBadValue, text); return; }
    k.x = place[0];
    k.y = place[1];
    k.width = place[2];
    k.height = place[3];
    layout_controls(run);
    return done();
  }
  if (request == 11 && w) {
    const auto colour = parse_colour(text);
    if (!colour) { fail(call.c, errs::kDialogBadColour, text); return; }
    if (k.type == kReportView) {   // the view paints itself
      SendMessageW(w, LVM_SETBKCOLOR, 0, RGB(colour->r, colour->g, colour->b));
      SendMessageW(w, LVM_SETTEXTBKCOLOR, 0, RGB(colour->r, colour->g, colour->b));
    }
    cw.backColour = RGB(colour->r, colour->g, colour->b);
    cw.brush = GdiObject(CreateSolidBrush(cw.backColour));
    if (cw.host) com::host_set_back(*cw.host, cw.backColour);   // an ambient property of the control
    InvalidateRect(w, nullptr, TRUE);
    return done();
  }
  if (request == 13 && w) {
    const auto colour = parse_colour(text);
    if (!colour) { fail(call.c, errs::kDialogBadColour, text); return; }
    cw.textColour = RGB(colour->r, colour->g, colour->b);
    if (cw.host) com::host_set_fore(*cw.host, cw.textColour);
    InvalidateRect(w, nullptr, TRUE);
    return done();
  }
  fail(call.c, errs::kDialogRequestUnsupported);
}

// ---- DialogObject ----
// Events are subscribed by name; subscribing also switches event 14 on.
void dialog_object(DialogRun& run, Call& call, int index) {
  const Control& k = run.d.controls[static_cast<std::size_t>(index)];
  ControlWindow& cw = run.windows[static_cast<std::size_t>(index)];
  std::int32_t request = 0;
  if (!int_argument(call, 3, request)) return;
  if (request < 1 || request > 4) { fail(call.c, errs::kDialogBadRequest, "--> " + std::to_string(request)); return; }
  if (k.type != kComControl || !cw.host) { fail(call.c, errs::kDialogRequestUnsupported); return; }
  std::wstring text;
  if (request != 3) {
    text = as_w(widen(text_argument(call, 4)));
    if (failed(call.c)) return;
  }
  switch (request) {
    case 1: case 2:
      if (!com::host_subscribe(call.c, *cw.host, text, request == 1)) return;
      if (request == 1) run.events[kComEvent] = true;
      make_int(call.result, 1);
      return;
    default: {
      Value made{};
      const bool ok = request == 3 ? com::host_object(call.c, *cw.host, made) : com::load_picture(call.c, text, made);
      if (!ok) return;
      release_value(call.c, call.result);
      static_cast<Value&>(call.result) = made;
      return;
    }
  }
}

}  // namespace

int find_control(DialogRun& run, const Value& v) {
  Context& c = run.c;
  std::string key;
  if (!value_text(c, v, key)) return -1;
  if (run.d.version == 62) {
    for (std::size_t i = 0; i < run.d.controls.size(); ++i)
      if (lstrcmpiA(run.d.controls[i].name.c_str(), key.c_str()) == 0) return static_cast<int>(i);
    fail(c, errs::kDialogBadName, key);
    return -1;
  }
  const auto number = parse_integer(key);
  for (std::size_t i = 0; number && i < run.d.controls.size(); ++i)
    if (run.d.controls[i].number == *number) return static_cast<int>(i);
  fail(c, errs::kDialogBadControl, key);
  return -1;
}

void handle_request(DialogRun& run, Request& r) {
  Call& call = r.call;
  if (r.kind == kw::fn_dialogprocoptions) {
    proc_options(run, call);
    return;
  }
  const int index = find_control(run, call.args[2]);
  if (index < 0) return;
  if (r.kind == kw::fn_dialogcontrolstate) control_state(run, call, index);
  else if (r.kind == kw::fn_dialogcontrolget) control_get(run, call, index);
  else if (r.kind == kw::fn_dialogobject) dialog_object(run, call, index);
  else control_set(run, call, index);
}

bool write_back(DialogRun& run) {
  Context& c = run.c;
  std::map<std::string, std::int32_t> buttons;   // radio and check box variables, by lower-case name
  for (std::size_t i = 0; i < run.d.controls.size(); ++i) {
    const Control& k = run.d.controls[i];
    const HWND w = run.windows[i].hwnd;
    if (!w || k.variable.empty()) continue;
    switch (k.type) {
      case kEditBox: case kMultilineBox:
        if (!set_string_variable(c, k.variable, narrow(window_text(w)))) return false;
        break;
      case kFileListBox: case kItemBox: case kDropListBox:
        if (!set_string_variable(c, k.variable, narrow(selection_value(run.windows[i], k.type)))) return false;
        break;
      case kReportView:
        if (!set_string_variable(c, k.variable, narrow(report_rows(w, true)))) return false;
        break;
      case kSpinner:
        if (!set_int_variable(c, k.variable, spinner_position(run.windows[i]))) return false;
        break;
      case kCalendar: case kDateTime:
        if (!set_string_variable(c, k.variable, ymdhms_of(c, get_date(k.type, w), k.type == kDateTime))) return false;
        break;
      case kRadioButton: {
        auto& v = buttons.try_emplace(lower_name(k.variable), 0).first->second;
        if (checked(w)) v = k.value;
        break;
      }
      case kCheckBox: {
        auto& v = buttons.try_emplace(lower_name(k.variable), 0).first->second;
        if (checked(w)) v |= k.value;
        break;
      }
      default:
        break;
    }
  }
  for (const auto& [name, value] : buttons)
    if (!set_int_variable(c, name, value)) return false;
  return true;
}

}  // namespace orv::dialogs
