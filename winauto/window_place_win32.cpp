// Placement in virtual coordinates: thousandths of the screen (top-level
// windows) or of the parent's client area (child windows).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"

namespace orv::winauto {
namespace {

constexpr int kNoResize = 1000000000;
constexpr int kAboveIcons = 1000000001;
constexpr int kUnset = 27981;   // filler of WinPlaceSet's positions

struct Screen {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  int to_x(int px) const { return w > 0 ? static_cast<int>(static_cast<long long>(px) * 1000 / w) : 0; }
  int to_y(int px) const { return h > 0 ? static_cast<int>(static_cast<long long>(px) * 1000 / h) : 0; }
  int from_x(int v) const { return static_cast<int>(static_cast<long long>(v) * w / 1000); }
  int from_y(int v) const { return static_cast<int>(static_cast<long long>(v) * h / 1000); }
};

// The bottom edge a default-placed window may reach: the work area's.
int above_icons_line() {
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area.bottom > 0 ? area.bottom : GetSystemMetrics(SM_CYSCREEN);
}

std::u16string joined(std::initializer_list<long> values, char separator) {
  std::string text;
  for (long v : values) {
    if (!text.empty()) text += separator;
    text += std::to_string(v);
  }
  return std::u16string(text.begin(), text.end());
}

void restore_for_placing(Context& c, HWND w) {
  if (w == own_window(c)) ShowWindow(w, SW_SHOWNOACTIVATE);
  else if (!IsWindowVisible(w)) ShowWindow(w, SW_SHOW);
  else post_system_command(c, w, SC_RESTORE);
  for (int i = 0; i < 4; ++i) stop_requested(c);
}

void win_place(Call& call) {
  HWND w = window_arg(call, 5, errs::kWinPlaceNotFound);
  if (!w) return;
  int x1 = call.args[1].i, y1 = call.args[2].i, x2 = call.args[3].i, y2 = call.args[4].i;
  const bool keepWidth = x2 == kNoResize, keepHeight = y2 == kNoResize, aboveIcons = y2 == kAboveIcons;
  RECT now{};
  GetWindowRect(w, &now);
  const Screen s;
  int left, top, width, height;
  if (GetSystemMetrics(SM_CMONITORS) > 1) {
    left = MulDiv(x1, s.w, 1000);
    top = MulDiv(y1, s.h, 1000);
    width = MulDiv(x2, s.w, 1000) - left;
    height = MulDiv(y2, s.h, 1000) - top;
  } else {
    auto clamp = [](int v) { return std::clamp(v, -1000, 2000); };
    const int minW = GetSystemMetrics(SM_CXMIN), minH = GetSystemMetrics(SM_CYMIN);
    int px1 = std::min(s.from_x(clamp(x1)), s.w - minW);
    int py1 = std::min(s.from_y(clamp(y1)), s.h - minH);
    const int px2 = std::max(s.from_x(clamp(x2)), minW);
    const int py2 = std::max(s.from_y(clamp(y2)), minH);
    width = std::clamp(px2 - px1, minW, std::max(minW, s.w));
    height = std::clamp(py2 - py1, minH, std::max(minH, s.h));
    left = std::max(px1, minW - width);
    top = std::max(py1, minH - height);
  }
  if (keepWidth) width = now.right - now.left;
  if (keepHeight) height = now.bottom - now.top;
  if (aboveIcons) height = above_icons_line() - top;
  if (!IsWindowVisible(w) || IsIconic(w) || IsZoomed(w)) restore_for_placing(call.c, w);
  SetWindowPos(w, nullptr, left, top, width, height, SWP_NOACTIVATE | SWP_NOZORDER);
  make_int(call.result, 1);
}

void win_position(Call& call) {
  HWND w = window_arg(call, 1, errs::kWinPositionNotFound);
  if (!w) return;
  RECT r{};
  GetWindowRect(w, &r);
  const Screen s;
  text_result(call, joined({s.to_x(r.left), s.to_y(r.top), s.to_x(r.right), s.to_y(r.bottom)}, ','));
}

// Parses up to four integers of a positions string; 27981 counts as missing.
int read_positions(const std::u16string& text, long out[4]) {
  std::string ansi(text.begin(), text.end());
  ansi += " 27981 27981 27981 27981";
  std::istringstream in(ansi);
  int supplied = 0;
  for (int i = 0; i < 4; ++i) {
    long v = kUnset;
    if (!(in >> v)) v = kUnset;
    out[i] = v;
    if (v != kUnset) ++supplied;
  }
  return supplied;
}

// The system refuses placements for other programs' windows on some systems;
// a window in its normal state takes its normal rectangle by moving instead.
bool set_normal_rect(HWND w, int type, const RECT& r) {
  if (type != 2 || IsIconic(w) || IsZoomed(w)) return false;
  return SetWindowPos(w, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE | SWP_NOZORDER) != FALSE;
}

void place_get_set(Call& call, bool set) {
  const int type = call.args[1].i;
  if (type < 1 || type > 3) { fail(call.c, errs::kWinPlaceBadSize); return; }
  HWND w = window_arg(call, 2, errs::kWinPlaceGetNotFound);
  if (!w) return;
  for (int i = 0; i < 50; ++i) stop_requested(call.c);
  WINDOWPLACEMENT p{};
  p.length = sizeof p;
  if (!GetWindowPlacement(w, &p)) { fail(call.c, errs::kWinPlaceGetFailed); return; }
  const Screen s;
  std::u16string previous;
  if (type == 1) previous = joined({s.to_x(p.ptMinPosition.x), s.to_y(p.ptMinPosition.y)}, ' ');
  else if (type == 3) previous = joined({s.to_x(p.ptMaxPosition.x), s.to_y(p.ptMaxPosition.y)}, ' ');
  else {
    const RECT& r = p.rcNormalPosition;
    previous = joined({s.to_x(r.left), s.to_y(r.top), s.to_x(r.right), s.to_y(r.bottom)}, ' ');
  }
  if (set) {
    long v[4];
    const int supplied = read_positions(text_arg(call, 3), v);
    if ((type != 2 && supplied != 2) || (type == 2 && supplied < 4)) { fail(call.c, errs::kWinPlaceSetWrongCount); return; }
    if (type == 1) {
      p.ptMinPosition = POINT{s.from_x(static_cast<int>(v[0])), s.from_y(static_cast<int>(v[1]))};
      p.flags |= WPF_SETMINPOSITION;
    } else if (type == 3) {
      p.ptMaxPosition = POINT{s.from_x(static_cast<int>(v[0])), s.from_y(static_cast<int>(v[1]))};
    } else {
      p.rcNormalPosition = RECT{s.from_x(static_cast<int>(v[0])), s.from_y(static_cast<int>(v[1])),
                                s.from_x(static_cast<int>(v[2])), s.from_y(static_cast<int>(v[3]))};
    }
    if (!SetWindowPlacement(w, &p) && !set_normal_rect(w, type, p.rcNormalPosition)) {
      fail(call.c, errs::kWinPlaceGetFailed);
      return;
    }
  }
  text_result(call, previous);
}

void win_place_get(Call& call) { place_get_set(call, false); }
void win_place_set(Call& call) { place_get_set(call, true); }

// A child and its parent's client size; errors by which one is missing.
HWND child_and_parent(Call& call, int parentArg, std::uint16_t noParent, std::uint16_t noChild, HWND& parent) {
  HWND child = find_child(call.c, text_arg(call, parentArg), text_arg(call, parentArg + 1), 0, &parent);
  if (!failed(call.c) && !parent) fail(call.c, noParent);
  else if (!failed(call.c) && !child) fail(call.c, noChild);
  return child;
}

// The child's rectangle in the parent's client coordinates.
RECT client_rect_of(HWND child, HWND parent) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void win_place_child(Call& call) {
  HWND parent = nullptr;
  HWND child = child_and_parent(call, 5, errs::kWinPlaceChildNoParent, errs::kWinPlaceChildNotFound, parent);
  if (!child) return;
  RECT client{}, now = client_rect_of(child, parent);
  GetClientRect(parent, &client);
  const int cw = client.right, ch = client.bottom;
  const int x = MulDiv(call.args[1].i, cw, 1000), y = MulDiv(call.args[2].i, ch, 1000);
  const int width = call.args[3].i == kNoResize ? now.right - now.left : MulDiv(call.args[3].i, cw, 1000) - x;
  const int height = call.args[4].i == kNoResize ? now.bottom - now.top : MulDiv(call.args[4].i, ch, 1000) - y;
  MoveWindow(child, x, y, width, height, TRUE);
  InvalidateRect(child, nullptr, TRUE);
  make_int(call.result, 1);
}

void win_position_child(Call& call) {
  HWND parent = nullptr;
  HWND child = child_and_parent(call, 1, errs::kWinPositionChildNoParent, errs::kWinPositionChildNotFound, parent);
  if (!child) return;
  RECT client{}, r = client_rect_of(child, parent);
  GetClientRect(parent, &client);
  auto th = [](long v, long size) { return size > 0 ? static_cast<long>(static_cast<long long>(v) * 1000 / size) : 0L; };
  text_result(call, joined({th(r.left, client.right), th(r.top, client.bottom), th(r.right, client.right),
                            th(r.bottom, client.bottom)},
                           ','));
}

}  // namespace

void register_window_placement(HandlerTable& t) {
  t.add(kw::fn_winplace, win_place);
  t.add(kw::fn_winposition, win_position);
  t.add(kw::fn_winplaceget, win_place_get);
  t.add(kw::fn_winplaceset, win_place_set);
  t.add(kw::fn_winplacechild, win_place_child);
  t.add(kw::fn_winpositionchild, win_position_child);
}

}  // namespace orv::winauto
