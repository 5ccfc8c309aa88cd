// The dialog window's events: control notifications, timer, resizing and
// closing carried to the script's callback, the callback's answer applied,
// the ending with its written-back variables, and the dialog functions'
// requests run on the window's own message handling.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/no_throw.h"
#include "engine/outside_code.h"
#include "engine/udf.h"
#include "engine/value_ops.h"
#include "engine/trace/trace.h"
#include "engine/variables.h"
#include "ui/dialogs/controls_win32.h"
#include "ui/dialogs/run_win32.h"
#include "ui/dialogs/runtime.h"
#include "ui/dialogs/window_win32.h"
#include "ui/guarded_proc_win32.h"

extern "C" __declspec(dllexport) INT_PTR CALLBACK MyDialogWndProc(HWND, UINT, WPARAM, LPARAM);
extern "C" __declspec(dllexport) LRESULT CALLBACK MyDialogWndProc2(HWND, UINT, WPARAM, LPARAM);

namespace orv::dialogs {

namespace {

constexpr wchar_t kRunProp[] = L"OrvDialogRun";

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
  after_outside_code(c);   // the caller may have written into texts
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

}  // namespace

void on_event(DialogRun& run, int event, int control, std::int32_t defaultResult, bool hasDefault, bool posted,
              std::string_view data) {
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

std::string com_event_data(const std::wstring& name, const std::vector<std::string>& params) {
  std::string data = narrow(std::u16string(name.begin(), name.end()));
  for (const std::string& p : params) data += "\t" + p;
  return data;
}

namespace {

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
