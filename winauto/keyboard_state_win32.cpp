// Keyboard state: which of Shift, Ctrl and Alt are held, the three lock keys,
// waiting for one of a few keys, and blocking the user's input. Keys to wait
// for are written as the key language writes one key; the wait watches the
// keyboard with a low-level hook, so a key pressed and released between two
// looks is still seen, and a key already held when the wait starts is not.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/key_words.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {
namespace {

bool key_held(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

void is_key_down(Call& call) {
  const std::int32_t flags = call.args[1].i;
  if (!valid_key_down_flags(flags)) { fail(call.c, errs::kIsKeyDownBadKeys); return; }
  bool all = true;
  if (flags & kKeyDownCtrl) all = all && key_held(VK_CONTROL);
  if (flags & kKeyDownShift) all = all && key_held(VK_SHIFT);
  if (flags & kKeyDownAlt) all = all && key_held(VK_MENU);
  make_int(call.result, all ? 1 : 0);
}

// The lock key named by argument k (@CAPSLOCK, @NUMLOCK, @SCROLLLOCK are
// their key codes); 0 with 4311 set otherwise.
int lock_key_arg(Call& call, int k) {
  const std::int32_t vk = call.args[static_cast<std::size_t>(k)].i;
  if (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL) return vk;
  fail(call.c, errs::kKeyToggleBadKey);
  return 0;
}

bool lock_on(int vk) { return (GetKeyState(vk) & 1) != 0; }

void key_toggle_get(Call& call) {
  if (const int vk = lock_key_arg(call, 1)) {
    stop_requested(call.c);   // lets the thread's key state catch up with the keyboard
    make_int(call.result, lock_on(vk) ? 1 : 0);
  }
}

void key_toggle_set(Call& call) {
  const int vk = lock_key_arg(call, 1);
  if (!vk) return;
  const std::int32_t state = call.args[2].i;
  if (state != 0 && state != 1) { fail(call.c, errs::kKeyToggleSetBadState); return; }
  stop_requested(call.c);
  const bool before = lock_on(vk);
  if (before != (state == 1)) {
    // The key itself, so the keyboard and every program see the change; the
    // thread's own table too, so the next look here sees it at once.
    INPUT in[2]{};
    for (int i = 0; i < 2; ++i) {
      in[i].type = INPUT_KEYBOARD;
      in[i].ki.wVk = static_cast<WORD>(vk);
      in[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(vk), 0));
      in[i].ki.dwFlags = (vk == VK_NUMLOCK ? KEYEVENTF_EXTENDEDKEY : 0) | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, in, sizeof in[0]);
    BYTE table[256];
    if (GetKeyboardState(table)) {
      table[vk] = static_cast<BYTE>(state == 1 ? (table[vk] | 1) : (table[vk] & ~1));
      SetKeyboardState(table);
    }
    for (int i = 0; i < 25 && lock_on(vk) != (state == 1); ++i)
      if (!pumping_wait(call.c, 20)) break;
  }
  make_int(call.result, before ? 1 : 0);
}

// ---- Waiting for keys ----

struct WantedKey {
  int vk = 0;
  bool keypadEnter = false;
  std::uint32_t mods = 0;   // plain Shift/Ctrl/Alt and the Windows keys
};

struct KeyWatch {
  std::vector<WantedKey> keys;
  int found = 0;   // 1-based place of the key that came
};

thread_local KeyWatch* tl_keyWatch = nullptr;

std::uint32_t held_modifiers() {
  std::uint32_t m = 0;
  if (key_held(VK_SHIFT)) m |= mod::kShift;
  if (key_held(VK_CONTROL)) m |= mod::kCtrl;
  if (key_held(VK_MENU)) m |= mod::kAlt;
  if (key_held(VK_LWIN)) m |= mod::kLWin;
  if (key_held(VK_RWIN)) m |= mod::kRWin;
  if (key_held(VK_APPS)) m |= mod::kApps;
  return m;
}

// The side-specific codes the hook reports stand for the plain keys too.
int plain_vk(int vk) {
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
    default: return vk;
  }
}

bool key_matches(const WantedKey& k, int vk, bool extended, std::uint32_t held) {
  if (k.keypadEnter) {
    if (vk != VK_RETURN || !extended) return false;
  } else if (k.vk != vk && k.vk != plain_vk(vk)) {
    return false;
  }
  // Shift, Ctrl and Alt exactly as the word asks (so "a" is not Shift+a); the
  // Windows keys only when asked for. A modifier key waited for is itself held.
  constexpr std::uint32_t kPlain = mod::kShift | mod::kCtrl | mod::kAlt;
  const std::uint32_t self = plain_vk(vk) == VK_SHIFT ? mod::kShift : plain_vk(vk) == VK_CONTROL ? mod::kCtrl
                             : plain_vk(vk) == VK_MENU ? mod::kAlt : 0;
  if (((held & ~self) & kPlain) != (k.mods & kPlain & ~self)) return false;
  return (held & k.mods & ~kPlain) == (k.mods & ~kPlain);
}

LRESULT CALLBACK key_watch_hook(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && tl_keyWatch && !tl_keyWatch->found && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
    const auto* e = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    const std::uint32_t held = held_modifiers();
    for (std::size_t i = 0; i < tl_keyWatch->keys.size(); ++i) {
      if (key_matches(tl_keyWatch->keys[i], static_cast<int>(e->vkCode), (e->flags & LLKHF_EXTENDED) != 0, held)) {
        tl_keyWatch->found = static_cast<int>(i) + 1;
        break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

class KeyWatchHook {
 public:
  explicit KeyWatchHook(KeyWatch& watch) {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&key_watch_hook), &self);
    hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, key_watch_hook, self, 0);
    if (hook_) tl_keyWatch = &watch;
  }
  ~KeyWatchHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
    tl_keyWatch = nullptr;
  }
  KeyWatchHook(const KeyWatchHook&) = delete;
  KeyWatchHook& operator=(const KeyWatchHook&) = delete;
  explicit operator bool() const { return hook_ != nullptr; }

 private:
  HHOOK hook_ = nullptr;
};

WantedKey wanted_key(const KeyUnit& u) {
  WantedKey k;
  std::uint32_t mods = u.mods;
  if (u.isChar) {
    const SHORT mapped = VkKeyScanA(static_cast<CHAR>(u.code));
    k.vk = mapped == -1 ? -1 : (mapped & 0xFF);
    if (mapped != -1) mods |= layout_modifiers(static_cast<unsigned>((mapped >> 8) & 0xFF));
  } else if (u.code == 0) {
    k.keypadEnter = true;
  } else {
    k.vk = u.code;
  }
  k.mods = plain_modifiers(mods);
  return k;
}

// The 1-based place of the key that came; 0 after the timeout or a user break.
// A negative timeout waits for ever.
int wait_for_keys(Call& call, const std::vector<KeyUnit>& units, double timeoutSeconds) {
  KeyWatch watch;
  for (const KeyUnit& u : units) watch.keys.push_back(wanted_key(u));
  KeyWatchHook hook(watch);
  if (!hook) { fail(call.c, errs::kKeyboardUnwatchable); return 0; }
  const DWORD start = GetTickCount();
  const double limitMs = timeoutSeconds * 1000.0;
  for (;;) {
    if (stop_requested(call.c)) return 0;
    if (watch.found) return watch.found;
    if (timeoutSeconds >= 0 && GetTickCount() - start >= limitMs) return 0;
    if (!pumping_wait(call.c, 10)) return 0;
  }
}

std::string_view key_text_arg(const Call& call, int k) {
  if (k > call.count) return {};
  const Value& v = call.args[static_cast<std::size_t>(k)];
  return (v.flags & vf::kStr) ? std::string_view(str_of(call.c, v)) : std::string_view();
}

// WaitForKey(k1 [, k2 ... k5]): an empty argument holds no key and keeps its place.
void wait_for_key(Call& call) {
  std::vector<KeyUnit> units;
  std::vector<int> places;
  for (int k = 1; k <= call.count; ++k) {
    const std::string_view word = key_text_arg(call, k);
    if (word.empty()) continue;
    const auto key = parse_key_word(word);
    if (!key) { fail(call.c, errs::kWaitForKeyBadKey, std::string(word)); return; }
    units.push_back(*key);
    places.push_back(k);
  }
  if (units.empty()) { fail(call.c, errs::kWaitForKeyBadKey); return; }
  const int found = wait_for_keys(call, units, -1);
  if (!failed(call.c)) make_int(call.result, found ? places[static_cast<std::size_t>(found - 1)] : 0);
}

void wait_for_key_ex(Call& call) {
  const double timeout = call.args[2].wide.f;
  if (!(timeout >= -1 && timeout <= 86400)) { fail(call.c, errs::kWaitForKeyExBadTimeout); return; }
  const KeyWordList list = parse_key_word_list(key_text_arg(call, 1));
  if (list.bad) { fail(call.c, errs::kWaitForKeyBadKey, "key " + std::to_string(list.bad)); return; }
  if (list.keys.size() > kMaxWaitKeys) { fail(call.c, errs::kWaitForKeyExTooManyKeys); return; }
  const int found = wait_for_keys(call, list.keys, timeout < 0 ? -1 : timeout);
  if (!failed(call.c)) make_int(call.result, found);
}

// ---- Blocking input ----

// Blocking is a state of the whole desktop, not of one script: one flag for
// the process remembers what was last asked.
std::atomic<bool> g_inputBlocked{false};

void ignore_input(Call& call) {
  const std::int32_t state = call.args[1].i;
  if (state < -1 || state > 1) { fail(call.c, errs::kIgnoreInputBadState); return; }
  const bool before = g_inputBlocked.load();
  if (state == 1 && !BlockInput(TRUE)) { fail(call.c, errs::kIgnoreInputRefused); return; }
  if (state == 0) BlockInput(FALSE);   // nothing to undo is no failure
  if (state >= 0) g_inputBlocked = state == 1;
  make_int(call.result, before ? 1 : 0);
}

}  // namespace

void register_keyboard_state(HandlerTable& t) {
  t.add(kw::fn_iskeydown, is_key_down);
  t.add(kw::fn_keytoggleget, key_toggle_get);
  t.add(kw::fn_keytoggleset, key_toggle_set);
  t.add(kw::fn_waitforkey, wait_for_key);
  t.add(kw::fn_waitforkeyex, wait_for_key_ex);
  t.add(kw::fn_ignoreinput, ignore_input);
}

}  // namespace orv::winauto
