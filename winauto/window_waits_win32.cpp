// Waiting for windows to appear or go, and the child-window functions that
// find before they act. Waits let messages through and end on the user break.
#include <windows.h>

#include <algorithm>
#include <functional>

#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"

namespace orv::winauto {
namespace {

constexpr unsigned kPollMs = 250;

// Checks allowed for a timeout in seconds: four a second, -1 for ever.
long long poll_budget(std::int32_t seconds) {
  if (seconds == -1) return -1;
  if (seconds < -1) seconds = 0;
  return 4LL * std::min<std::int32_t>(seconds, 86400);
}

void after_wait(Context& c) {
  if (c.intSettings[70] > 0) pumping_wait(c, static_cast<unsigned>(c.intSettings[70]));
}

// Looks until `present` holds; one look even with a zero timeout.
int wait_until_present(Context& c, std::int32_t seconds, const std::function<bool()>& present) {
  long long budget = poll_budget(seconds);
  for (long long look = 0;; ++look) {
    if (stop_requested(c)) return 0;
    if (present()) {
      after_wait(c);
      return 1;
    }
    if (budget >= 0 && look >= budget) return 0;
    if (!pumping_wait(c, kPollMs)) return 0;
  }
}

void win_wait_exist(Call& call) {
  const std::u16string name = text_arg(call, 1);
  if (name.empty()) { make_int(call.result, 1); return; }
  make_int(call.result, wait_until_present(call.c, call.args[2].i, [&] { return find_window(call.c, name, 0) != nullptr; }));
}

void win_wait_close(Call& call) {
  Context& c = call.c;
  const std::u16string name = text_arg(call, 1);
  long long budget = poll_budget(call.args[2].i);
  if (!pumping_wait(c, 1500)) { make_int(call.result, 0); return; }
  bool seen = false;
  for (long long look = 0; budget < 0 || look < std::max(budget, 1LL); ++look) {
    if (stop_requested(c)) { make_int(call.result, 0); return; }
    if (!find_window(c, name, 0)) break;
    seen = true;
    if (!pumping_wait(c, kPollMs)) { make_int(call.result, 0); return; }
  }
  if (seen) after_wait(c);
  make_int(call.result, seen ? 1 : 0);
}

void win_wait_child(Call& call) {
  const std::u16string parent = text_arg(call, 1), child = text_arg(call, 2);
  make_int(call.result, wait_until_present(call.c, call.args[3].i, [&] {
    return find_child(call.c, parent, child, 0, nullptr) != nullptr;
  }));
}

void win_exist_child(Call& call) {
  make_int(call.result, find_child(call.c, text_arg(call, 1), text_arg(call, 2), 0, nullptr) ? 1 : 0);
}

void win_activate_child(Call& call) {
  HWND parent = nullptr;
  HWND child = child_arg(call, parent);
  if (!child) return;
  activate_window(call.c, parent);
  if (!IsWindowEnabled(child)) { make_int(call.result, 0); return; }
  SendMessageW(child, WM_CHILDACTIVATE, 0, 0);
  if (HWND mdiClient = GetParent(child)) SendMessageW(mdiClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
  SendMessageW(child, WM_CHILDACTIVATE, 0, 0);
  make_int(call.result, 1);
}

}  // namespace

void register_window_waits(HandlerTable& t) {
  t.add(kw::fn_winwaitexist, win_wait_exist);
  t.add(kw::fn_winwaitclose, win_wait_close);
  t.add(kw::fn_winwaitchild, win_wait_child);
  t.add(kw::fn_winexistchild, win_exist_child);
  t.add(kw::fn_winactivchild, win_activate_child);
  t.add(kw::fn_winactivechild, win_activate_child);
}

}  // namespace orv::winauto
