// SendKey, SendKeysTo, SendKeysChild: the parsed key string goes out as
// synthetic key events to whatever window has the keyboard focus.
#include <windows.h>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/key_language.h"
#include "winauto/win32_text.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {
namespace {

struct Sender {
  Sender(Context& ctx, bool sendInput) : c(ctx), useSendInput(sendInput) {}
  Context& c;
  bool useSendInput;
  bool consoleMode = false;    // the foreground is a console: no pumping, no delay
  bool waitIdle = false;
  HWND remembered = nullptr;
  std::u16string rememberedTitle;

  void inject(const KeyEvent& e) {
    const UINT scan = MapVirtualKeyW(e.vk, 0);
    DWORD flags = (e.up ? KEYEVENTF_KEYUP : 0) | (e.extended ? KEYEVENTF_EXTENDEDKEY : 0);
    if (useSendInput) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = e.vk;
      in.ki.wScan = static_cast<WORD>(scan);
      in.ki.dwFlags = flags;
      SendInput(1, &in, sizeof in);
    } else {
      keybd_event(static_cast<BYTE>(e.vk), static_cast<BYTE>(scan), flags, 0);
    }
    if (!consoleMode) {
      stop_requested(c);
      stop_requested(c);
    }
  }

  // A character the layout has no key for goes out as the character itself.
  void inject_unicode(char16_t ch) {
    INPUT in[2]{};
    for (int i = 0; i < 2; ++i) {
      in[i].type = INPUT_KEYBOARD;
      in[i].ki.wScan = ch;
      in[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, in, sizeof in[0]);
  }

  void send(const KeyUnit& u) {
    std::uint16_t vk = u.code;
    std::uint32_t mods = u.mods;
    if (u.isChar) {
      const SHORT mapped = VkKeyScanA(static_cast<CHAR>(u.code));
      if (mapped == -1) {
        std::u16string text;
        const char ch = static_cast<char>(u.code);
        platform::ansi_to_utf16(std::string_view(&ch, 1), text);
        for (std::int32_t i = 0; i < u.repeat && !text.empty() && !c.cancelRequested; ++i) inject_unicode(text[0]);
        return;
      }
      vk = static_cast<std::uint16_t>(mapped & 0xFF);
      mods |= layout_modifiers(static_cast<unsigned>((mapped >> 8) & 0xFF));
    }
    std::vector<KeyEvent> events;
    key_events(vk, mods, events);
    for (std::int32_t i = 0; i < u.repeat && !c.cancelRequested; ++i)
      for (const KeyEvent& e : events) inject(e);
  }

  void toggle(BYTE vk) {
    inject(KeyEvent{vk, false, false});
    inject(KeyEvent{vk, true, false});
  }

  // Looks at the foreground again when the console or idle switch asks for it.
  void watch_foreground() {
    if (!c.intSettings[45] && !c.intSettings[43]) return;
    HWND fg = GetForegroundWindow();
    std::u16string title = fg ? window_title(fg, 80) : std::u16string();
    if (fg != remembered || title != rememberedTitle) {
      remembered = fg;
      rememberedTitle = title;
      consoleMode = c.intSettings[45] && fg && is_console_window(fg);
      waitIdle = !consoleMode && c.intSettings[43] && fg;
    }
    if (!waitIdle) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(fg, &pid);
    Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process.get()) return;
    while (WaitForInputIdle(process.get(), 100) == WAIT_TIMEOUT) {
      if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 || stop_requested(c)) return;
    }
  }
};

// Sends a key string; -1 when it is malformed (the units before it still go).
int send_keys(Context& c, std::string_view keys, unsigned delayMs) {
  Sender s(c, c.intSettings[88] == 1);
  const KeyParse parsed = parse_keys(keys, true);
  HWND fg = GetForegroundWindow();
  const bool console = fg && is_console_window(fg);
  const bool numLock = console && (GetKeyState(VK_NUMLOCK) & 1);
  const bool capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
  if (numLock) s.toggle(VK_NUMLOCK);
  if (capsLock) s.toggle(VK_CAPITAL);
  for (const KeyUnit& unit : parsed.units) {
    if (c.cancelRequested) break;
    s.watch_foreground();
    if (s.consoleMode) {
      s.send(unit);
      continue;
    }
    stop_requested(c);
    stop_requested(c);
    s.send(unit);
    stop_requested(c);
    stop_requested(c);
    if (delayMs && !pumping_wait(c, delayMs)) break;
  }
  if (numLock) s.toggle(VK_NUMLOCK);
  if (capsLock) s.toggle(VK_CAPITAL);
  return parsed.malformed ? -1 : 0;
}

// The delay argument in seconds, or the key delay; false with 1020 when out of range.
bool delay_of(Call& call, int k, unsigned& ms) {
  ms = static_cast<unsigned>(call.c.intSettings[35]);
  if (call.count < k) return true;
  const double seconds = call.args[static_cast<std::size_t>(k)].wide.f;
  if (!(seconds >= 0 && seconds <= 86400)) return fail(call.c, errs::kTimeBadValue);
  ms = static_cast<unsigned>(seconds * 1000 + 0.5);
  return true;
}

std::string_view keys_arg(const Call& call, int k) {
  const Value& v = call.args[static_cast<std::size_t>(k)];
  return (v.flags & vf::kStr) ? std::string_view(str_of(call.c, v)) : std::string_view();
}

void send_key(Call& call) {
  unsigned ms;
  if (!delay_of(call, 2, ms)) return;
  make_int(call.result, send_keys(call.c, keys_arg(call, 1), ms));
}

void send_keys_to(Call& call) {
  unsigned ms;
  if (!delay_of(call, 3, ms)) return;
  HWND w = window_arg(call, 1, errs::kWindowNotFound);
  if (!w) return;
  activate_window(call.c, w);
  make_int(call.result, send_keys(call.c, keys_arg(call, 2), ms));
}

void send_keys_child(Call& call) {
  unsigned ms;
  if (!delay_of(call, 4, ms)) return;
  HWND parent = nullptr;
  HWND child = child_arg(call, parent);
  if (!child) return;
  activate_window(call.c, parent);
  if (IsWindowEnabled(child)) {
    DWORD thread = GetWindowThreadProcessId(child, nullptr);
    const DWORD self = GetCurrentThreadId();
    const bool attached = thread != self && AttachThreadInput(self, thread, TRUE);
    SetFocus(child);
    if (attached) AttachThreadInput(self, thread, FALSE);
  }
  make_int(call.result, send_keys(call.c, keys_arg(call, 3), ms));
}

}  // namespace

bool is_console_window(HWND w) {
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  return lstrcmpiW(cls, L"ConsoleWindowClass") == 0 || lstrcmpiW(cls, L"tty") == 0 || lstrcmpiW(cls, L"woa") == 0;
}

void register_sendkey(HandlerTable& t) {
  t.add(kw::fn_sendkey, send_key);
  t.add(kw::fn_sendkeysto, send_keys_to);
  t.add(kw::fn_sendkeyschild, send_keys_child);
}

}  // namespace orv::winauto
