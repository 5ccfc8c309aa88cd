// TimeYmdHms, TimeDate, GetExactTime, GetTickCount and GetTickCount64: reading
// the clock.
#include <cstdio>

#include "builtins/time/time_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/clock.h"

namespace orv::timefn {
namespace {

Fields fields_of(const platform::CalendarTime& t) {
  return Fields{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// These take no arguments although their table entries let any through.
bool no_arguments(Call& call) { return call.count == 0 || fail(call.c, errs::kWrongArgumentCount); }

void time_ymdhms(Call& call) { set_ymdhms_result(call, fields_of(platform::local_time())); }

// The date and the time as the user's locale writes them (a fixed US form
// when the system has none).
std::string locale_text(const platform::CalendarTime& t) {
  std::string date, time;
  if (!platform::locale_date_time(t, date, time)) {
    char d[32], h[32];
    std::snprintf(d, sizeof d, "%d/%d/%02d", t.month, t.day, t.year % 100);
    std::snprintf(h, sizeof h, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    date = d;
    time = h;
  }
  return date + " " + time;
}

void time_date(Call& call) {
  static constexpr char kDays[] = "SunMonTueWedThuFriSat";
  const platform::CalendarTime t = platform::local_time();
  make_string(call.c, call.result, std::string(kDays + 3 * (t.weekday % 7), 3) + " " + locale_text(t));
}

void date_time(Call& call) {
  if (no_arguments(call)) make_string(call.c, call.result, locale_text(platform::local_time()));
}

// The local time to the hundredth of a second: YmdHms + ".hh".
void get_exact_time(Call& call) {
  if (!no_arguments(call)) return;
  const platform::CalendarTime t = platform::local_time();
  char frac[16];
  std::snprintf(frac, sizeof frac, ".%02d", t.millisecond / 10);
  make_string(call.c, call.result, format_ymdhms(fields_of(t), four_digit_years(call.c)) + frac);
}

void get_tick_count(Call& call) {
  if (no_arguments(call)) make_int(call.result, static_cast<std::int32_t>(platform::tick_count64()));
}

void get_tick_count64(Call& call) {
  if (no_arguments(call)) make_int64(call.result, static_cast<std::int64_t>(platform::tick_count64()));
}

}  // namespace

void register_clock(HandlerTable& t) {
  t.add(kw::fn_timeymdhms, time_ymdhms);
  t.add(kw::fn_timedate, time_date);
  t.add(kw::fn_datetime, date_time);
  t.add(kw::fn_getexacttime, get_exact_time);
  t.add(kw::fn_gettickcount, get_tick_count);
  t.add(kw::fn_gettickcount64, get_tick_count64);
}

}  // namespace orv::timefn
