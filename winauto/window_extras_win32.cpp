// Window extras: the first window of a class, keeping a window on top,
// tiling and cascading, waiting until a program is ready for input, raw
// window messages, the help program, screen snapshots to the clipboard, the
// wallpaper and the end of the session.
#include <windows.h>

#include <cmath>

#include "builtins/clipboard/clip_access_win32.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/platform.h"
#include "winauto/call_support.h"
#include "winauto/desk_rules.h"
#include "winauto/win32_text.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {

bool timeout_arg(Call& call, int k, double& seconds) {
  seconds = k <= call.count ? call.args[static_cast<std::size_t>(k)].wide.f : -1;
  return (seconds >= -1 && seconds <= 86400) || fail(call.c, errs::kBadTimeout);
}

namespace {

void find_window_by_class(Call& call) {
  HWND w = FindWindowW(wide(text_arg(call, 1)).c_str(), nullptr);
  text_result(call, w ? window_title(w) : std::u16string());
}

void window_on_top(Call& call) {
  const std::int32_t mode = call.args[2].i;
  if (mode < -1 || mode > 1) { fail(call.c, errs::kWindowOnTopBadMode); return; }
  HWND w = window_arg(call, 1, errs::kWindowNotFound);
  if (!w) return;
  const bool before = (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (mode >= 0)
    SetWindowPos(w, mode ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  make_int(call.result, before ? 1 : 0);
}

// The windows a user would see arranged: visible top-level windows with a
// caption, neither owned, minimised nor tool windows.
BOOL CALLBACK collect_arrangeable(HWND w, LPARAM param) {
  const LONG style = GetWindowLongW(w, GWL_STYLE), ex = GetWindowLongW(w, GWL_EXSTYLE);
  if (IsWindowVisible(w) && !IsIconic(w) && (style & WS_CAPTION) == WS_CAPTION && !(ex & WS_EX_TOOLWINDOW) &&
      !GetWindow(w, GW_OWNER))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
  return TRUE;
}

// Our own placement rather than the system's tiling, which not every
// system carries out: the windows in their Z order, the top one first.
void win_arrange(Call& call) {
  const auto style = arrange_style(call.args[1].i);
  if (!style) { fail(call.c, errs::kWinArrangeBadStyle); return; }
  std::vector<HWND> windows;
  EnumWindows(collect_arrangeable, reinterpret_cast<LPARAM>(&windows));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYSIZEFRAME);
  const auto rects = arrange_rects(*style, windows.size(), {work.left, work.top, work.right, work.bottom}, step);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (IsZoomed(windows[i])) ShowWindow(windows[i], SW_RESTORE);
    const ArrangeRect& r = rects[i];
    SetWindowPos(windows[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  make_int(call.result, static_cast<std::int32_t>(windows.size()));
}

// 1 once the window's program waits for input; 0 when the time ran out, the
// program ended or the user broke the script. A program that never reads
// input (a console program) counts as ready.
void win_wait_ready(Call& call) {
  double timeout;
  if (!timeout_arg(call, 2, timeout)) return;
  HWND w = window_arg(call, 1, errs::kWindowNotFound);
  if (!w) return;
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process.get()) { make_int(call.result, 1); return; }
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD r = WaitForInputIdle(process.get(), 50);
    if (r == 0 || r == WAIT_FAILED) { make_int(call.result, 1); return; }
    if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 || stop_requested(call.c)) break;
    if (timeout >= 0 && GetTickCount() - start >= timeout * 1000) break;
  }
  make_int(call.result, 0);
}

void icon_arrange(Call& call) {
  ArrangeIconicWindows(GetDesktopWindow());
  make_int(call.result, 1);
}

// The configuration flags older scripts test: protected mode (2), a 386 or
// later processor (8), a math coprocessor (1024), the NT family (16384).
void win_config(Call& call) {
  make_int(call.result, 2 + 8 + 1024 + (platform::is_nt_platform() ? 16384 : 0));
}

void win_help(Call& call) {
  std::string word;
  platform::utf16_to_ansi(text_arg(call, 2), word);
  const auto command = help_command(word);
  if (!command) { fail(call.c, errs::kWinHelpBadCommand, word); return; }
  const std::wstring file = wide(text_arg(call, 1));
  const std::wstring topic = wide(text_arg(call, 3));
  UINT cmd = HELP_CONTENTS;
  ULONG_PTR data = 0;
  switch (*command) {
    case HelpCommand::contents: cmd = HELP_CONTENTS; break;
    case HelpCommand::key: cmd = HELP_KEY; data = reinterpret_cast<ULONG_PTR>(topic.c_str()); break;
    case HelpCommand::partialkey: cmd = HELP_PARTIALKEY; data = reinterpret_cast<ULONG_PTR>(topic.c_str()); break;
    case HelpCommand::context: cmd = HELP_CONTEXT; data = static_cast<ULONG_PTR>(wcstoul(topic.c_str(), nullptr, 10)); break;
    case HelpCommand::helponhelp: cmd = HELP_HELPONHELP; break;
    case HelpCommand::command: cmd = HELP_COMMAND; data = reinterpret_cast<ULONG_PTR>(topic.c_str()); break;
    case HelpCommand::quit: cmd = HELP_QUIT; break;
  }
  HWND owner = own_window(call.c) ? own_window(call.c) : GetDesktopWindow();
  if (!WinHelpW(owner, file.c_str(), cmd, data)) { fail(call.c, errs::kWinHelpNotStarted); return; }
  make_int(call.result, 1);
}

// A window by name or id, or by its handle as a number.
HWND message_target(Call& call) {
  const Value& v = call.args[1];
  if (!(v.flags & (vf::kStr | vf::kWide)) && (v.flags & vf::kInt)) {
    HWND w = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(v.i)));
    if (IsWindow(w)) return w;
    fail(call.c, errs::kWindowNotFound);
    return nullptr;
  }
  return window_arg(call, 1, errs::kWindowNotFound);
}

// A message argument: a number as it is, a text as a pointer to a copy of it
// (8-bit or UTF-16 by the function); the copies live until the call returns.
struct MessageArgs {
  std::string ansi[2];
  std::wstring wide16[2];
};

bool message_word(Call& call, int k, bool wideText, MessageArgs& keep, LPARAM& out) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  const int slot = k - 3;
  if (v.flags & (vf::kStr | vf::kWide)) {
    const std::u16string text = text_arg(call, k);
    if (wideText) {
      keep.wide16[slot] = wide(text);
      out = reinterpret_cast<LPARAM>(keep.wide16[slot].c_str());
    } else {
      platform::utf16_to_ansi(text, keep.ansi[slot]);
      out = reinterpret_cast<LPARAM>(keep.ansi[slot].c_str());
    }
    return true;
  }
  if (v.flags & vf::kInt64) out = static_cast<LPARAM>(v.wide.i64);
  else if (v.flags & vf::kInt) out = static_cast<LPARAM>(v.i);
  else if (v.flags & vf::kFloat) out = static_cast<LPARAM>(static_cast<std::int64_t>(v.wide.f));
  else return fail(call.c, errs::kNotConvertibleToNumber, "Argument number " + std::to_string(k) + " could not be converted");
  return true;
}

void send_message(Call& call) {
  const bool wideText = call.id == kw::fn_sendmessagew;
  HWND w = message_target(call);
  if (!w) return;
  const UINT message = static_cast<UINT>(call.args[2].i);
  MessageArgs keep;
  LPARAM wparam = 0, lparam = 0;
  if (!message_word(call, 3, wideText, keep, wparam) || !message_word(call, 4, wideText, keep, lparam)) return;
  DWORD_PTR answer = 0;
  const LRESULT sent =
      wideText ? SendMessageTimeoutW(w, message, static_cast<WPARAM>(wparam), lparam, SMTO_ABORTIFHUNG, 10000, &answer)
               : SendMessageTimeoutA(w, message, static_cast<WPARAM>(wparam), lparam, SMTO_ABORTIFHUNG, 10000, &answer);
  if (!sent) { fail(call.c, errs::kSendMessageTimedOut); return; }
  make_int(call.result, static_cast<std::int32_t>(answer));
}

// Owns a screen device context.
class ScreenDc {
 public:
  ScreenDc(HWND w, bool whole) : w_(w), dc_(whole ? GetWindowDC(w) : GetDC(w)) {}
  ~ScreenDc() { if (dc_) ReleaseDC(w_, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

void snapshot(Call& call) {
  const std::int32_t kind = call.args[1].i;
  if (kind < 0 || kind > 2) { fail(call.c, errs::kSnapshotBadKind); return; }
  HWND w = nullptr;
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (kind > 0) {
    w = call.count >= 2 ? window_arg(call, 2, errs::kWindowNotFound) : GetForegroundWindow();
    if (!w) {
      if (!failed(call.c)) fail(call.c, errs::kWindowNotFound);
      return;
    }
    RECT r{};
    if (kind == 1) GetClientRect(w, &r);
    else GetWindowRect(w, &r);
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  if (width <= 0 || height <= 0) { fail(call.c, errs::kSnapshotFailed); return; }
  ScreenDc source(w, kind == 2);
  HDC memory = source.get() ? CreateCompatibleDC(source.get()) : nullptr;
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(source.get(), width, height) : nullptr;
  bool copied = false;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, source.get(), 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, old);
  }
  if (memory) DeleteDC(memory);
  if (!copied) {
    if (bitmap) DeleteObject(bitmap);
    fail(call.c, errs::kSnapshotFailed);
    return;
  }
  const auto status = clip::write_object(own_window(call.c), CF_BITMAP, bitmap);
  if (status != clip::ClipStatus::ok) {
    DeleteObject(bitmap);
    fail(call.c, status == clip::ClipStatus::cannot_open ? errs::kClipboardBusy : errs::kClipboardStoreFailed);
    return;
  }
  make_int(call.result, 1);
}

void wallpaper(Call& call) {
  const std::int32_t placement = call.args[2].i;
  if (placement < 0 || placement > 2) { fail(call.c, errs::kWallpaperBadPlacement); return; }
  std::wstring file = wide(text_arg(call, 1));
  if (!file.empty()) {
    wchar_t full[MAX_PATH];
    const DWORD n = GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH || GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
      fail(call.c, errs::kWallpaperNotFound, to_utf8(text_arg(call, 1)));
      return;
    }
    file = full;
  }
  HKEY desktop = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop) == ERROR_SUCCESS) {
    const wchar_t* tile = placement == 1 ? L"1" : L"0";
    const wchar_t* style = placement == 2 ? L"2" : L"0";
    RegSetValueExW(desktop, L"TileWallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(tile), 4);
    RegSetValueExW(desktop, L"WallpaperStyle", 0, REG_SZ, reinterpret_cast<const BYTE*>(style), 4);
    RegCloseKey(desktop);
  }
  if (!SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, file.data(), SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)) {
    fail(call.c, errs::kWallpaperRefused);
    return;
  }
  make_int(call.result, 1);
}

// Shutting down or restarting needs the shutdown right in the process token.
void enable_shutdown_right() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  Handle owned(token);
  TOKEN_PRIVILEGES p{};
  if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &p.Privileges[0].Luid)) return;
  p.PrivilegeCount = 1;
  p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
}

void end_session(Call& call) {
  const auto mode = session_mode(call.args[1].i);
  if (!mode) { fail(call.c, errs::kEndSessionBadMode); return; }
  const std::string what = describe_session(*mode);
  if (mode->describeOnly) {
    text_result(call, std::u16string(what.begin(), what.end()));
    return;
  }
  static constexpr UINT kActions[] = {EWX_LOGOFF, EWX_SHUTDOWN, EWX_REBOOT, EWX_POWEROFF};
  UINT flags = kActions[mode->action] | (mode->force ? EWX_FORCE : 0);
  if (mode->action > 0) enable_shutdown_right();
  if (!ExitWindowsEx(flags, SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_FLAG_PLANNED)) { fail(call.c, errs::kEndSessionRefused, what); return; }
  make_int(call.result, 1);
}

}  // namespace

void register_window_extras(HandlerTable& t) {
  t.add(kw::fn_findwindow, find_window_by_class);
  t.add(kw::fn_windowontop, window_on_top);
  t.add(kw::fn_winarrange, win_arrange);
  t.add(kw::fn_winwaitready, win_wait_ready);
  t.add(kw::fn_iconarrange, icon_arrange);
  t.add(kw::fn_winconfig, win_config);
  t.add(kw::fn_winhelp, win_help);
  t.add(kw::fn_sendmessagea, send_message);
  t.add(kw::fn_sendmessagew, send_message);
  t.add(kw::fn_snapshot, snapshot);
  t.add(kw::fn_wallpaper, wallpaper);
  t.add(kw::fn_endsession, end_session);
}

}  // namespace orv::winauto
