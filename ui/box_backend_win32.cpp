// The boxes on Windows: standard message boxes, and the LINEASK, PSWDASK,
// BOXITEM*, ASKTEXTBOX_* templates with the exported dialog procedures
// GetVarBoxProc (line and text boxes) and AskTextDlg (list boxes).
#include <windows.h>
#include <mmsystem.h>

#include "engine/error_numbers.h"
#include "engine/outside_code.h"
#include "ui/box_backend.h"
#include "ui/guarded_proc_win32.h"
#include "ui/boxes.h"
#include "ui/module_win32.h"
#include "platform/platform.h"

extern "C" __declspec(dllexport) INT_PTR CALLBACK GetVarBoxProc(HWND, UINT, WPARAM, LPARAM);
extern "C" __declspec(dllexport) INT_PTR CALLBACK AskTextDlg(HWND, UINT, WPARAM, LPARAM);

namespace orv::ui {
namespace {

const wchar_t* w(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// What every box does around the system call: sounds first, and afterwards a
// short message-pumping pause so the owner repaints before the script goes on.
class BoxFrame {
 public:
  BoxFrame(Context& c, const wchar_t* sound) : c_(c) {
    if (c.sounds) PlaySoundW(sound, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
  }
  ~BoxFrame() {
    const DWORD start = GetTickCount();
    do {
      if (pump_window_messages(c_, false) && !c_.noCancel) c_.cancelRequested = true;
      Sleep(5);
    } while (GetTickCount() - start < 20);
  }
  BoxFrame(const BoxFrame&) = delete;
  BoxFrame& operator=(const BoxFrame&) = delete;

 private:
  Context& c_;
};

// Cancel, Escape and the close box end a box with 0.
INT_PTR ended_by_cancel(HWND dialog, WPARAM wParam) {
  if (LOWORD(wParam) != IDCANCEL) return FALSE;
  EndDialog(dialog, 0);
  return TRUE;
}

HWND owner(const Context& c) { return reinterpret_cast<HWND>(c.ownWindow); }

struct LineState {
  const LineRequest* request = nullptr;
  const TextRequest* text = nullptr;
  std::u16string answer;
  ButtonNames names;
};

struct ListState {
  const ListRequest* request = nullptr;
  std::vector<std::size_t> selected;
  bool readFailed = false;
  ButtonNames names;
};

struct DisplayState {
  const DisplayRequest* request = nullptr;
  ButtonNames names;
};

// ButtonNames: OK (or Yes) and Cancel get the script's names.
void apply_button_names(HWND dialog, const ButtonNames& names) {
  if (!names.ok.empty()) {
    SetDlgItemTextW(dialog, IDOK, w(names.ok));
    SetDlgItemTextW(dialog, IDYES, w(names.ok));
  }
  if (!names.cancel.empty()) SetDlgItemTextW(dialog, IDCANCEL, w(names.cancel));
}

// The system makes message boxes itself: their buttons are renamed from a
// hook on this thread, which sees the box when it is first activated. The
// hook procedure has no argument of ours, hence the thread's one pointer.
class MessageBoxNames {
 public:
  explicit MessageBoxNames(ButtonNames names) : names_(std::move(names)) {
    if (names_.ok.empty() && names_.cancel.empty()) return;
    current() = this;
    hook_ = SetWindowsHookExW(WH_CBT, &MessageBoxNames::hook_proc, nullptr, GetCurrentThreadId());
  }
  ~MessageBoxNames() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (current() == this) current() = nullptr;
  }
  MessageBoxNames(const MessageBoxNames&) = delete;
  MessageBoxNames& operator=(const MessageBoxNames&) = delete;

 private:
  static MessageBoxNames*& current() {
    thread_local MessageBoxNames* active = nullptr;
    return active;
  }
  static LRESULT CALLBACK hook_proc(int code, WPARAM wParam, LPARAM lParam) {
    MessageBoxNames* self = current();
    if (code == HCBT_ACTIVATE && self && !self->applied_) {
      self->applied_ = true;
      apply_button_names(reinterpret_cast<HWND>(wParam), self->names_);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  ButtonNames names_;
  HHOOK hook_ = nullptr;
  bool applied_ = false;
};

// The chosen rows, in list order.
void read_selection(HWND list, ListState& state) {
  if (state.request->mode == kSingle) {
    const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (at != LB_ERR) state.selected.push_back(static_cast<std::size_t>(at));
    return;
  }
  const LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
  if (count == LB_ERR) {
    state.readFailed = true;
    return;
  }
  std::vector<int> rows(static_cast<std::size_t>(count));
  const LRESULT got =
      count ? SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(rows.data())) : 0;
  if (got == LB_ERR) {
    state.readFailed = true;
    return;
  }
  for (LRESULT i = 0; i < got; ++i) state.selected.push_back(static_cast<std::size_t>(rows[static_cast<std::size_t>(i)]));
}

}  // namespace

BoxAnswer message_box(Context& c, const std::u16string& title, const std::u16string& text, MessageKind kind) {
  BoxFrame frame(c, kind == MessageKind::message ? L"SystemAsterisk" : L"SystemQuestion");
  UINT style = MB_SETFOREGROUND | MB_APPLMODAL;
  if (kind == MessageKind::message) style |= MB_OK;
  else if (kind == MessageKind::pause) style |= MB_OKCANCEL | MB_ICONEXCLAMATION;
  else style |= MB_YESNOCANCEL | MB_ICONQUESTION;
  MessageBoxNames names(take_button_names(c));
  switch (MessageBoxW(owner(c), w(text), w(title), style)) {
    case IDOK: return kBoxOk;
    case IDYES: return kBoxYes;
    case IDNO: return kBoxNo;
    case IDCANCEL: return kBoxCancel;
    default: return kBoxFailed;
  }
}

namespace {

// A box with an edit control (line or text box), run by GetVarBoxProc.
BoxAnswer edit_box(Context& c, const wchar_t* templateName, LineState& state, std::u16string& answer) {
  BoxFrame frame(c, L"SystemQuestion");
  const INT_PTR result =
      DialogBoxParamW(this_module(), templateName, owner(c), GetVarBoxProc, reinterpret_cast<LPARAM>(&state));
  if (result == -1) return kBoxFailed;
  if (result != 1) return kBoxCancel;
  answer = std::move(state.answer);
  return kBoxOk;
}

}  // namespace

BoxAnswer line_box(Context& c, const LineRequest& r, std::u16string& answer) {
  LineState state{&r, nullptr, {}, take_button_names(c)};
  return edit_box(c, r.password ? L"PSWDASK" : L"LINEASK", state, answer);
}

BoxAnswer text_box(Context& c, const TextRequest& r, std::u16string& answer) {
  LineState state{nullptr, &r, {}, take_button_names(c)};
  return edit_box(c, r.wrap ? L"ASKTEXTBOX_WRAP" : L"ASKTEXTBOX_NOWRAP", state, answer);
}

BoxAnswer list_box(Context& c, const ListRequest& r, std::vector<std::size_t>& selected) {
  BoxFrame frame(c, L"SystemQuestion");
  ListState state{&r, {}, false, take_button_names(c)};
  const wchar_t* name = r.mode == kMultiple ? L"BOXITEMM" : r.mode == kExtended ? L"BOXITEMME" : L"BOXITEM";
  const INT_PTR result =
      DialogBoxParamW(this_module(), name, owner(c), AskTextDlg, reinterpret_cast<LPARAM>(&state));
  if (result == -1) return kBoxFailed;
  if (result != 1) return kBoxCancel;
  if (state.readFailed) {
    fail(c, errs::kAskItemsReadFailed);
    return kBoxFailed;
  }
  selected = std::move(state.selected);
  return kBoxOk;
}

namespace {
INT_PTR CALLBACK display_box_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}

BoxAnswer display_box(Context& c, const DisplayRequest& r) {
  BoxFrame frame(c, L"SystemAsterisk");
  DisplayState state{&r, take_button_names(c)};
  const INT_PTR result =
      DialogBoxParamW(this_module(), L"DISPLAYBOX", owner(c), display_box_proc, reinterpret_cast<LPARAM>(&state));
  if (result == -1) return kBoxFailed;
  return result == 1 ? kBoxOk : kBoxCancel;
}

namespace {
constexpr UINT_PTR kDisplayTimer = 1;

INT_PTR display_box_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<DisplayState*>(lParam);
      SetWindowTextW(dialog, w(state->request->title));
      SetDlgItemTextW(dialog, 11, w(state->request->text));
      apply_button_names(dialog, state->names);
      SetTimer(dialog, kDisplayTimer, state->request->milliseconds, nullptr);
      SetForegroundWindow(dialog);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam != kDisplayTimer) return FALSE;
      KillTimer(dialog, kDisplayTimer);
      EndDialog(dialog, 1);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return ended_by_cancel(dialog, wParam);
    default: break;
  }
  return FALSE;
}

INT_PTR CALLBACK display_box_proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded_dialog_proc(dialog, [&] { return display_box_message(dialog, message, wParam, lParam); });
}
}  // namespace

}  // namespace orv::ui

using namespace orv::ui;

// Line boxes (LINEASK, PSWDASK) and the text boxes: 11 prompt, 12 edit line.
namespace {
INT_PTR line_box_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<LineState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<LineState*>(lParam);
      const std::u16string& title = state->request ? state->request->title : state->text->title;
      const std::u16string& prompt = state->request ? state->request->prompt : state->text->prompt;
      std::u16string initial = state->request ? state->request->initial : state->text->initial;
      if (state->text) {   // multi-line edit controls want CR LF
        std::u16string crlf;
        for (std::size_t i = 0; i < initial.size(); ++i) {
          if (initial[i] == u'\n' && (i == 0 || initial[i - 1] != u'\r')) crlf += u'\r';
          crlf += initial[i];
        }
        initial = std::move(crlf);
      }
      SetWindowTextW(dialog, w(title));
      SetDlgItemTextW(dialog, 11, w(prompt));
      apply_button_names(dialog, state->names);
      if (state->request) SendDlgItemMessageW(dialog, 12, EM_LIMITTEXT, kEditLineMax, 0);
      SetDlgItemTextW(dialog, 12, w(initial));
      if (state->request && state->request->guiFont) {
        const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
        for (int id : {1, 2, 11, 12}) SendDlgItemMessageW(dialog, id, WM_SETFONT, font, TRUE);
      }
      SetForegroundWindow(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && state) {
        state->answer = control_text(dialog, 12);
        EndDialog(dialog, 1);
        return TRUE;
      }
      return ended_by_cancel(dialog, wParam);
    default: break;
  }
  return FALSE;
}

// List boxes (BOXITEM, BOXITEMM, BOXITEMME): 101 the list.
INT_PTR list_box_message(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<ListState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<ListState*>(lParam);
      SetWindowTextW(dialog, w(state->request->title));
      apply_button_names(dialog, state->names);
      for (const std::u16string& item : state->request->items)
        SendDlgItemMessageW(dialog, 101, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w(item)));
      SetForegroundWindow(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if ((LOWORD(wParam) == IDOK || (LOWORD(wParam) == 101 && HIWORD(wParam) == LBN_DBLCLK)) && state) {
        read_selection(GetDlgItem(dialog, 101), *state);
        EndDialog(dialog, 1);
        return TRUE;
      }
      return ended_by_cancel(dialog, wParam);
    default: break;
  }
  return FALSE;
}
}  // namespace

extern "C" __declspec(dllexport) INT_PTR CALLBACK GetVarBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded_dialog_proc(dialog, [&] { return line_box_message(dialog, message, wParam, lParam); });
}

extern "C" __declspec(dllexport) INT_PTR CALLBACK AskTextDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return guarded_dialog_proc(dialog, [&] { return list_box_message(dialog, message, wParam, lParam); });
}
