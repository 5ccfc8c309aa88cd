#include "winauto/window_find_win32.h"

#include <algorithm>

#include "winauto/call_support.h"
#include "winauto/title_pattern.h"
#include "winauto/window_enum_win32.h"

namespace orv::winauto {

std::u16string window_title(HWND window, int limit) {
  std::wstring buffer(static_cast<std::size_t>(limit) + 1, L'\0');
  int n = 0;
  if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) {
    // A control of another program answers only when asked: its text is its
    // content (an edit control's text). A hung program does not stop us.
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(limit + 1), reinterpret_cast<LPARAM>(buffer.data()),
                            SMTO_ABORTIFHUNG, 2000, &copied))
      n = static_cast<int>(std::min<DWORD_PTR>(copied, static_cast<DWORD_PTR>(limit)));
  } else {
    n = GetWindowTextW(window, buffer.data(), limit + 1);
  }
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(n > 0 ? n : 0));
}

bool display_available() {
  static const bool available = [] {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
  }();
  return available;
}

int wait_count(const Context& c) { return c.intSettings[46]; }

HWND find_window(Context& c, const std::u16string& name, int retries) {
  if (name.empty()) return own_window(c);
  if (is_window_id<char16_t>(name)) {
    auto handle = parse_window_id<char16_t>(name);
    HWND window = handle ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*handle)) : nullptr;
    return window && IsWindow(window) ? window : nullptr;
  }
  if (!display_available()) retries = 0;
  for (int attempt = 0; attempt <= retries; ++attempt) {
    EnumState state(c);
    state.pattern = name;
    EnumWindows(WinEnumFuncx, reinterpret_cast<LPARAM>(&state));
    if (state.found) return state.found;
    if (attempt < retries && !pumping_wait(c, 1000)) break;
    if (c.cancelRequested) break;
  }
  return nullptr;
}

HWND find_child(Context& c, const std::u16string& parent, const std::u16string& child, int parentRetries,
                HWND* parentOut) {
  HWND top = find_window(c, parent, parentRetries);
  if (parentOut) *parentOut = top;
  if (!top) return nullptr;
  EnumState state(c);
  if (is_window_id<char16_t>(child)) {
    auto handle = parse_window_id<char16_t>(child);
    HWND window = handle ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*handle)) : nullptr;
    if (!window || !IsWindow(window)) return nullptr;
    state.wanted = window;
  } else {
    state.pattern = child;
  }
  EnumChildWindows(top, WinEnumDaChild, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

void after_post(Context& c) {
  if (c.postMessageDelay > 0) pumping_wait(c, static_cast<unsigned>(c.postMessageDelay));
}

void post_system_command(Context& c, HWND window, WPARAM command) {
  if (!PostMessageW(window, WM_SYSCOMMAND, command, 0)) return;
  DWORD asked = GetTickCount();
  after_post(c);
  auto done = [&] {
    switch (command) {
      case SC_MINIMIZE: return IsIconic(window) != FALSE;
      case SC_MAXIMIZE: return IsZoomed(window) != FALSE;
      case SC_RESTORE: return !IsIconic(window) && !IsZoomed(window);
      default: return true;
    }
  };
  // A window can take a maximize and drop it again: Wine on an X server without
  // a window manager restores it when the notice of an earlier move of its own
  // (the one that showed it again) arrives late. So the state counts once two
  // looks agree, and a minimize or maximize (asking twice changes nothing) is
  // asked again while the state is missing a quarter second after the last ask.
  const bool repeatable = command == SC_MINIMIZE || command == SC_MAXIMIZE;
  const DWORD start = GetTickCount();
  int agreeing = 0;
  while (IsWindow(window) && GetTickCount() - start < 2000) {
    if (!done()) {
      agreeing = 0;
      if (repeatable && GetTickCount() - asked >= 250 && PostMessageW(window, WM_SYSCOMMAND, command, 0))
        asked = GetTickCount();
    } else if (++agreeing == 2) {
      return;
    }
    if (!pumping_wait(c, 20)) return;
  }
}

namespace {

struct OwnedSearch {
  HWND target;
  HWND owned = nullptr;
};

BOOL CALLBACK find_owned(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<OwnedSearch*>(param);
  if (!IsWindowEnabled(window) || !IsWindowVisible(window) || window == s->target) return TRUE;
  for (HWND up = GetWindow(window, GW_OWNER); up; up = GetWindow(up, GW_OWNER)) {
    if (up == s->target) {
      s->owned = window;
      return FALSE;
    }
  }
  return TRUE;
}

// Attaches this thread's input to the foreground window's thread while it lives.
class InputAttachment {
 public:
  InputAttachment() {
    HWND fg = GetForegroundWindow();
    other_ = fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
    self_ = GetCurrentThreadId();
    attached_ = other_ && other_ != self_ && AttachThreadInput(self_, other_, TRUE);
  }
  ~InputAttachment() { if (attached_) AttachThreadInput(self_, other_, FALSE); }
  InputAttachment(const InputAttachment&) = delete;
  InputAttachment& operator=(const InputAttachment&) = delete;

 private:
  DWORD self_ = 0, other_ = 0;
  bool attached_ = false;
};

void force_foreground(Context& c, HWND window, int method) {
  switch (method) {
    case 1: {
      ShowWindow(window, SW_SHOW);
      const bool topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SwitchToThisWindow(window, TRUE);
      if (!topmost) SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      stop_requested(c);
      break;
    }
    case 2:
      ShowWindow(window, SW_MINIMIZE);
      SwitchToThisWindow(window, TRUE);
      break;
    case 3: {
      DWORD timeout = 0;
      SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
      if (timeout) SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
      SetForegroundWindow(window);
      if (timeout)
        SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(timeout)), 0);
      break;
    }
    case 4:
    case 5: {
      InputAttachment attach;
      SetForegroundWindow(window);
      break;
    }
    default:
      SetForegroundWindow(window);
  }
}

}  // namespace

void activate_window(Context& c, HWND window) {
  if (IsWindowEnabled(window)) {
    SetForegroundWindow(window);
    if (HWND child = GetTopWindow(window)) BringWindowToTop(child);
    pumping_wait(c, 50);
    if (IsIconic(window)) post_system_command(c, window, SC_RESTORE);
  } else {
    // A disabled window owns a modal one: bring both up, the modal one last.
    OwnedSearch search{window};
    EnumWindows(find_owned, reinterpret_cast<LPARAM>(&search));
    SetForegroundWindow(window);
    pumping_wait(c, 25);
    if (search.owned) {
      SetForegroundWindow(search.owned);
      pumping_wait(c, 50);
    }
  }
  const int method = c.intSettings[61];
  if (method > 0) force_foreground(c, window, method);
}

}  // namespace orv::winauto
