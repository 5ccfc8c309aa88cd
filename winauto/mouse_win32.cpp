// The mouse: moving the cursor to a screen point or a point of a window's
// 0-1000 grid, clicking with held keys, clicking a button by its text, the
// rectangle of a window, what lies under the cursor, and moving along a path
// with buttons held or a click at the end. Clicks go out as input events at
// the cursor, so the program under it gets them as it would from a user.
#include <windows.h>

#include <cmath>
#include <string>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/text_case.h"
#include "winauto/call_support.h"
#include "winauto/menu_path.h"
#include "winauto/mouse_rules.h"
#include "winauto/title_pattern.h"
#include "winauto/win32_text.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {
namespace {

// The window named by arguments `k` (window) and `k + 1` (child, "" for none);
// none with 1045 or 1368 set.
HWND mouse_target(Call& call, int k) {
  const std::u16string child = text_arg(call, k + 1);
  if (child.empty()) return window_arg(call, k, errs::kWindowNotFound);
  HWND parent = nullptr;
  HWND w = find_child(call.c, text_arg(call, k), child, wait_count(call.c), &parent);
  if (failed(call.c)) return nullptr;
  if (!parent) fail(call.c, errs::kWindowNotFound);
  else if (!w) fail(call.c, errs::kActivateChildNotFound);
  return w;
}

POINT grid_point(HWND w, int x, int y) {
  RECT r{};
  GetWindowRect(w, &r);
  return POINT{grid_to_pixel(x, r.left, r.right), grid_to_pixel(y, r.top, r.bottom)};
}

void button_event(const ButtonStep& s) {
  static constexpr DWORD kDown[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_MIDDLEDOWN};
  static constexpr DWORD kUp[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_MIDDLEUP};
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = (s.down ? kDown : kUp)[static_cast<int>(s.button)];
  SendInput(1, &in, sizeof in);
}

void key_event(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, 0));
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &in, sizeof in);
}

// The steps with a short pause after each, so that the program sees two
// clicks as a double click and a press apart from its release.
void run_steps(Context& c, const std::vector<ButtonStep>& steps) {
  for (const ButtonStep& s : steps) {
    button_event(s);
    pumping_wait(c, 30);
  }
}

// Moves the cursor; waits until the system reports it there (a display
// server takes a moment), a quarter second at most.
void move_cursor(Context& c, POINT p) {
  SetCursorPos(p.x, p.y);
  for (int i = 0; i < 25; ++i) {
    POINT now{};
    GetCursorPos(&now);
    if (now.x == p.x && now.y == p.y) return;
    if (!pumping_wait(c, 10)) return;
  }
}

void mouse_move(Call& call) {
  const std::int32_t x = call.args[1].i, y = call.args[2].i;
  POINT p{x, y};
  if (!text_arg(call, 3).empty() || !text_arg(call, 4).empty()) {
    HWND w = mouse_target(call, 3);
    if (!w) return;
    p = grid_point(w, x, y);
  }
  move_cursor(call.c, p);
  make_int(call.result, 1);
}

void mouse_click(Call& call) {
  const auto steps = click_steps(call.args[1].i);
  if (!steps) { fail(call.c, errs::kMouseBadButton); return; }
  const std::int32_t mods = call.args[2].i;
  if (!valid_click_modifiers(mods)) { fail(call.c, errs::kMouseBadModifiers); return; }
  if (mods & 1) key_event(VK_CONTROL, false);
  if (mods & 2) key_event(VK_SHIFT, false);
  run_steps(call.c, *steps);
  if (mods & 2) key_event(VK_SHIFT, true);
  if (mods & 1) key_event(VK_CONTROL, true);
  stop_requested(call.c);
  make_int(call.result, 1);
}

struct ButtonSearch {
  std::u16string wanted;   // a match key, folded
  HWND found = nullptr;
};

BOOL CALLBACK find_button(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<ButtonSearch*>(param);
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  if (lstrcmpiW(cls, L"Button") != 0) return TRUE;
  std::u16string key = menu_match_key(window_title(w));
  platform::lower_utf16(key);
  if (key != s->wanted) return TRUE;
  s->found = w;
  return FALSE;
}

// A button among the window's descendants, by its caption compared as menu
// captions are (case, "&" and a trailing "..." ignored); pressed with the
// button's own click, which acts as a mouse click on it would.
void mouse_click_btn(Call& call) {
  HWND w = mouse_target(call, 1);
  if (!w) return;
  ButtonSearch search;
  search.wanted = menu_match_key(text_arg(call, 3));
  platform::lower_utf16(search.wanted);
  EnumChildWindows(w, find_button, reinterpret_cast<LPARAM>(&search));
  if (!search.found) { fail(call.c, errs::kNoButtonWithText, to_utf8(text_arg(call, 3))); return; }
  if (!IsWindowEnabled(search.found)) { fail(call.c, errs::kButtonDisabled); return; }
  PostMessageW(search.found, BM_CLICK, 0, 0);
  after_post(call.c);
  make_int(call.result, 1);
}

void mouse_coords(Call& call) {
  HWND w = mouse_target(call, 1);
  if (!w) return;
  RECT r{};
  GetWindowRect(w, &r);
  const std::string text = std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
                           " " + std::to_string(r.bottom);
  text_result(call, std::u16string(text.begin(), text.end()));
}

std::u16string id_of(HWND w) {
  if (!w) return {};
  const std::string id = make_window_id(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(w)));
  return std::u16string(id.begin(), id.end());
}

std::u16string pair_text(int a, int b) {
  const std::string text = std::to_string(a) + " " + std::to_string(b);
  return std::u16string(text.begin(), text.end());
}

void mouse_info(Call& call) {
  const std::int32_t request = call.args[1].i;
  if (!valid_mouse_request(request)) { fail(call.c, errs::kMouseInfoBadRequest); return; }
  stop_requested(call.c);
  POINT p{};
  GetCursorPos(&p);
  HWND under = WindowFromPoint(p);
  HWND top = under ? GetAncestor(under, GA_ROOT) : nullptr;
  switch (request) {
    case 0: text_result(call, top ? window_title(top) : std::u16string()); break;
    case 1: text_result(call, under ? window_title(under) : std::u16string()); break;
    case 2: text_result(call, id_of(top)); break;
    case 3: text_result(call, id_of(under)); break;
    case 4: text_result(call, pair_text(p.x, p.y)); break;
    case 5: {
      RECT r{};
      if (top) GetWindowRect(top, &r);
      text_result(call, top ? pair_text(pixel_to_grid(p.x, r.left, r.right), pixel_to_grid(p.y, r.top, r.bottom))
                            : std::u16string());
      break;
    }
    default: {
      // The buttons as the user has them, not as the mouse is wired.
      const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
      auto held = [](int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; };
      std::int32_t state = 0;
      if (held(swapped ? VK_RBUTTON : VK_LBUTTON)) state |= kLeftHeld;
      if (held(swapped ? VK_LBUTTON : VK_RBUTTON)) state |= kRightHeld;
      if (held(VK_MBUTTON)) state |= kMiddleHeld;
      make_int(call.result, state);
    }
  }
}

// MousePlay(position, window, child, buttons, delay): the cursor glides to
// the position over `delay` seconds (a step every 20 ms), with buttons held
// on the way and a click at the end. With window and child "", the position
// is in screen pixels; else in the window's 0-1000 grid.
void mouse_play(Call& call) {
  const std::u16string where = text_arg(call, 1);
  std::string ascii(where.begin(), where.end());
  const auto point = parse_mouse_point(ascii);
  if (!point || where.size() != ascii.size()) { fail(call.c, errs::kMouseBadPosition); return; }
  const auto buttons = play_buttons(call.args[4].i);
  if (!buttons) { fail(call.c, errs::kMousePlayBadButtons); return; }
  const double delay = call.args[5].wide.f;
  if (!(delay >= 0 && delay <= 60)) { fail(call.c, errs::kMousePlayBadDelay); return; }
  POINT target{point->x, point->y};
  if (!text_arg(call, 2).empty() || !text_arg(call, 3).empty()) {
    HWND w = mouse_target(call, 2);
    if (!w) return;
    target = grid_point(w, point->x, point->y);
  }
  for (MouseButton b : buttons->held) button_event({b, true});
  POINT from{};
  GetCursorPos(&from);
  const int steps = static_cast<int>(delay * 50);
  for (int i = 1; i < steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    SetCursorPos(from.x + static_cast<int>(std::lround((target.x - from.x) * t)),
                 from.y + static_cast<int>(std::lround((target.y - from.y) * t)));
    if (!pumping_wait(call.c, 20)) break;
  }
  move_cursor(call.c, target);
  pumping_wait(call.c, 30);
  for (MouseButton b : buttons->held) button_event({b, false});
  run_steps(call.c, buttons->atEnd);
  make_int(call.result, 1);
}

}  // namespace

void register_mouse(HandlerTable& t) {
  t.add(kw::fn_mousemove, mouse_move);
  t.add(kw::fn_mouseclick, mouse_click);
  t.add(kw::fn_mouseclickbtn, mouse_click_btn);
  t.add(kw::fn_mousecoords, mouse_coords);
  t.add(kw::fn_mouseinfo, mouse_info);
  t.add(kw::fn_mouseplay, mouse_play);
}

}  // namespace orv::winauto
