// TimeAdd, TimeSubtract, TimeDiff, TimeDiffDays, TimeDiffSecs, TimeJulianDay
// and TimeJulToYmd: calendar arithmetic on parsed YmdHms fields.
#include <cstdlib>

#include "builtins/time/time_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::timefn {
namespace {

// TimeDiffSecs refuses spans whose seconds could pass 32 bits.
constexpr std::int64_t kMaxDiffSecsDays = 22001;

bool parse_pair(Call& call, Fields& base, int baseMode, Fields& other, int otherMode) {
  return parse_ymdhms(arg_str(call, 1), base, baseMode, true) && parse_ymdhms(arg_str(call, 2), other, otherMode, true);
}

// Year and month of base +/- offset, with the day clamped to the resulting
// month so that Jan 31 plus one month is the last day of February.
Fields shifted_date(const Fields& base, const Fields& off, int sign) {
  Fields r;
  r.year = base.year + sign * off.year;
  r.month = base.month + sign * off.month;
  // Months are brought into 1..12 before the clamp, so that subtracting
  // months that cross a year also lands on the last day of a shorter month.
  const std::int64_t years = (r.month - 1 >= 0) ? (r.month - 1) / 12 : -((12 - r.month) / 12);
  r.year += years;
  r.month -= years * 12;
  r.day = base.day;
  if (r.month >= 2 && r.month <= 11) {
    const int len = month_length(r.month, is_leap(r.year));
    if (r.day > len) r.day = len;
  }
  return r;
}

void add_or_subtract(Call& call, int sign, std::uint16_t error) {
  Fields base, off;
  if (!parse_pair(call, base, kDateTime, off, kSyntax)) { fail(call.c, error); return; }
  if (off.second >= 86400) {
    off.day += off.second / 86400;
    off.second %= 86400;
  }
  Fields r = shifted_date(base, off, sign);
  r.day += sign * off.day;
  r.hour = base.hour + sign * off.hour;
  r.minute = base.minute + sign * off.minute;
  r.second = base.second + sign * off.second;
  normalise(r);
  if ((sign > 0 && r.year > 9999) || (sign < 0 && r.year < 0)) { fail(call.c, error); return; }
  set_ymdhms_result(call, r);
}

void time_add(Call& call) { add_or_subtract(call, 1, errs::kTimeAddFailed); }
void time_subtract(Call& call) { add_or_subtract(call, -1, errs::kTimeSubtractFailed); }

// Field-wise difference with borrows, the month borrow taking the length of
// the month before the first date's month.
void time_diff(Call& call) {
  Fields a, b;
  if (!parse_pair(call, a, kDateTime, b, kDateTime)) { fail(call.c, errs::kTimeSubtractFailed); return; }
  Fields d{a.year - b.year, a.month - b.month, a.day - b.day, a.hour - b.hour, a.minute - b.minute, a.second - b.second};
  if (d.second < 0) { d.second += 60; --d.minute; }
  if (d.minute < 0) { d.minute += 60; --d.hour; }
  if (d.hour < 0) { d.hour += 24; --d.day; }
  const bool leap = is_leap(b.year);
  const std::int64_t before = a.month == 1 ? 12 : a.month - 1;
  for (;;) {
    if (d.month < 0) { d.month += 12; --d.year; }
    if (d.day >= 0) break;
    const int len = month_length(before, leap);
    d.day += len;
    if (before == 2 && b.day > len) d.day += b.day - len;
    if (len == 30 && b.day == 31) d.day += 1;
    --d.month;
  }
  if (d.year < 0) { fail(call.c, errs::kTimeSubtractFailed); return; }
  set_ymdhms_result(call, d);
}

bool day_difference(Call& call, Fields& a, Fields& b, std::int64_t& days) {
  if (!parse_pair(call, a, kDateTime, b, kDateTime)) return fail(call.c, errs::kTimeDiffBadValue);
  days = day_number(a) - day_number(b);
  return true;
}

void time_diff_days(Call& call) {
  Fields a, b;
  std::int64_t days = 0;
  if (day_difference(call, a, b, days)) make_int(call.result, static_cast<std::int32_t>(days));
}

void time_diff_secs(Call& call) {
  Fields a, b;
  std::int64_t days = 0;
  if (!day_difference(call, a, b, days)) return;
  if (std::llabs(days) >= kMaxDiffSecsDays) { fail(call.c, errs::kTimeDiffOutOfRange); return; }
  const std::int64_t secs = ((days * 24 + a.hour - b.hour) * 60 + a.minute - b.minute) * 60 + a.second - b.second;
  make_int(call.result, static_cast<std::int32_t>(secs));
}

void time_julian_day(Call& call) {
  Fields f;
  if (!parse_ymdhms(arg_str(call, 1), f, kDateOnly, true)) { fail(call.c, errs::kTimeBadValue); return; }
  make_int(call.result, static_cast<std::int32_t>(day_number(f)));
}

void time_jul_to_ymd(Call& call) {
  const std::int32_t n = call.args[1].i;
  if (n < 1) { fail(call.c, errs::kBadJulianDate); return; }
  Fields f = date_of_day_number(n);
  f.year %= 10000;
  set_ymdhms_result(call, f);
}

}  // namespace

void register_arithmetic(HandlerTable& t) {
  t.add(kw::fn_timeadd, time_add);
  t.add(kw::fn_timesubtract, time_subtract);
  t.add(kw::fn_timediff, time_diff);
  t.add(kw::fn_timediffdays, time_diff_days);
  t.add(kw::fn_timediffsecs, time_diff_secs);
  t.add(kw::fn_timejulianday, time_julian_day);
  t.add(kw::fn_timejultoymd, time_jul_to_ymd);
}

}  // namespace orv::timefn
