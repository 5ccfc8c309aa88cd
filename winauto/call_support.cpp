#include "winauto/call_support.h"

#include <algorithm>

#include "engine/outside_code.h"
#include "builtins/strings/text.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::winauto {

std::u16string text_arg(const Call& call, int k) {
  if (k > call.count) return {};
  const Value& v = call.args[static_cast<std::size_t>(k)];
  if (v.flags & vf::kWide) return std::u16string(wstr_view(call.c, v));
  if (!(v.flags & vf::kStr)) return {};
  std::u16string wide;
  platform::ansi_to_utf16(str_of(call.c, v), wide);
  return wide;
}

bool text_result(Call& call, std::u16string_view text) {
  if (call.wide) return strings::set_result(call, text);
  std::string ansi;
  platform::utf16_to_ansi(text, ansi);
  return strings::set_result(call, std::string_view(ansi));
}

bool stop_requested(Context& c) {
  if (pump_window_messages(c, false) && !c.noCancel) c.cancelRequested = true;
  return c.cancelRequested;
}

bool pumping_wait(Context& c, unsigned ms) {
  const std::uint32_t start = platform::tick_count();
  for (;;) {
    if (stop_requested(c)) return false;
    const std::uint32_t spent = platform::tick_count() - start;
    if (spent >= ms) return true;
    platform::sleep_ms(std::min<unsigned>(ms - spent, 20));
  }
}

}  // namespace orv::winauto
