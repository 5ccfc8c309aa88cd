// TimeWait, TimeDelay and Delay: waits that keep the thread's messages moving
// and end early when the run is asked to stop.
#include <algorithm>
#include <cmath>

#include "engine/outside_code.h"
#include "builtins/time/time_groups.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/clock.h"

namespace orv::timefn {
namespace {

constexpr unsigned kSliceMs = 100;
// Longer waits than this (about 31 years) are treated as this long; they end
// only by a stop request anyway.
constexpr double kMaxDelaySeconds = 1e9;

// One slice of a wait; false when the run should stop waiting.
bool wait_slice(Context& c, unsigned ms) {
  if (!c.noYield && pump_window_messages(c, false) && !c.noCancel) c.cancelRequested = true;
  if (c.cancelRequested) return false;
  if (ms) platform::sleep_ms(ms);
  return true;
}

void wait_ms(Context& c, std::uint64_t ms) {
  const std::uint64_t end = platform::tick_count64() + ms;
  for (;;) {
    const std::uint64_t now = platform::tick_count64();
    if (now >= end) { wait_slice(c, 0); return; }
    const std::uint64_t left = end - now;
    if (!wait_slice(c, static_cast<unsigned>(left < kSliceMs ? left : kSliceMs))) return;
  }
}

void wait_seconds(Context& c, double seconds) {
  if (!(seconds > 0)) seconds = 0;   // NaN too
  if (seconds > kMaxDelaySeconds) seconds = kMaxDelaySeconds;
  wait_ms(c, static_cast<std::uint64_t>(std::llround(seconds * 1000.0)));
}

Fields now_fields() {
  const platform::CalendarTime t = platform::local_time();
  return Fields{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// -1, 0, 1 as a is before, at, after b.
int compare_moments(const Fields& a, const Fields& b) {
  const std::int64_t x[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const std::int64_t y[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  for (int i = 0; i < 6; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

// The moment TimeWait waits for: a full YmdHms, or a time of day (zero date)
// meaning its next occurrence.
bool wait_target(std::string_view text, Fields& target) {
  Fields f;
  if (!parse_ymdhms(text, f, kSyntax, false)) return false;
  if (std::count(text.begin(), text.end(), ':') != 5) return false;   // exactly six fields
  if (f.year != 0 || f.month != 0 || f.day != 0) return parse_ymdhms(text, target, kDateTime, true);
  if (!parse_ymdhms(text, target, kTimeOnly, false)) return false;
  const Fields now = now_fields();
  target.year = now.year;
  target.month = now.month;
  target.day = now.day;
  if (compare_moments(target, now) < 0) {
    ++target.day;
    normalise(target);
  }
  return true;
}

void time_wait(Call& call) {
  Fields target;
  if (!wait_target(arg_str(call, 1), target)) { fail(call.c, errs::kWaitUntilBadTime); return; }
  while (compare_moments(now_fields(), target) < 0)
    if (!wait_slice(call.c, kSliceMs)) break;
  make_int(call.result, 1);
}

// Seconds; a negative value is a count of milliseconds.
void time_delay(Call& call) {
  const double d = call.args[1].wide.f;
  if (d < 0) wait_ms(call.c, static_cast<std::uint64_t>(std::min(-d, kMaxDelaySeconds)));
  else wait_seconds(call.c, d);
  make_int(call.result, 1);
}

void delay(Call& call) {
  if (call.count != 1) { fail(call.c, errs::kWrongArgumentCount); return; }
  Value& arg = call.args[1];
  if (!to_float(call.c, arg)) return;
  wait_seconds(call.c, arg.wide.f);
  make_int(call.result, 1);
}

}  // namespace

void register_waits(HandlerTable& t) {
  t.add(kw::fn_timewait, time_wait);
  t.add(kw::fn_timedelay, time_delay);
  t.add(kw::fn_delay, delay);
}

}  // namespace orv::timefn
