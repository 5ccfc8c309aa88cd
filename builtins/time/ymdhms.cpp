// Parsing follows the field rules exactly; arithmetic on days goes through day
// numbers so that offsets of any size take constant time.
#include "builtins/time/ymdhms.h"

#include <cstdio>

namespace orv::timefn {
namespace {

// A field longer than this is no time anybody means; refusing it keeps the
// 64-bit arithmetic of the callers far from overflow.
constexpr std::int64_t kFieldMax = 999999999999LL;

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days since 0000-03-01 style civil arithmetic, valid for any 64-bit year in
// range; shifted so that 0000:01:01 is day 1.
std::int64_t days_from_civil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2;
  const std::int64_t era = floor_div(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe + 61;   // 0000-03-01 is day 61 (Jan 31 + Feb 29 + 1)
}

Fields civil_from_days(std::int64_t n) {
  const std::int64_t z = n - 61;
  const std::int64_t era = floor_div(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  Fields f;
  f.day = doy - (153 * mp + 2) / 5 + 1;
  f.month = mp < 10 ? mp + 3 : mp - 9;
  f.year = yoe + era * 400 + (f.month <= 2);
  return f;
}

void carry(std::int64_t& low, std::int64_t& high, std::int64_t base) {
  const std::int64_t q = floor_div(low, base);
  high += q;
  low -= q * base;
}

}  // namespace

bool is_leap(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int month_length(std::int64_t month, bool leap) {
  switch (month) {
    case 2: return leap ? 29 : 28;
    case 4: case 6: case 9: case 11: return 30;
    default: return 31;
  }
}

bool parse_ymdhms(std::string_view text, Fields& out, int mode, bool twoDigitYears) {
  out = Fields{};
  if (text.find("::") != std::string_view::npos) return false;
  std::int64_t* fields[6] = {&out.year, &out.month, &out.day, &out.hour, &out.minute, &out.second};
  int field = 0;
  std::size_t yearDigits = 0;
  bool digitSeen = false;   // in the current field: an empty field is invalid
  for (char ch : text) {
    if (ch == ':') {
      if (!digitSeen) return false;
      digitSeen = false;
      if (++field == 6) break;   // anything after the sixth field is not read
      continue;
    }
    if (ch < '0' || ch > '9') return false;
    std::int64_t& v = *fields[field];
    v = v * 10 + (ch - '0');
    if (v > kFieldMax) return false;
    if (field == 0) ++yearDigits;
    digitSeen = true;
  }
  if (field < 6 && !digitSeen) return false;
  const int seen = field >= 6 ? 6 : field + 1;
  if (seen != 3 && seen != 6) return false;
  if (mode == kSyntax) return true;

  if (mode == kDateOnly) {
    if (out.hour == 24) out.hour = 0;
  } else if (out.hour >= 24 || out.minute > 59 || out.second > 59) {
    return false;
  }
  if (mode == kTimeOnly) return true;

  if (out.day == 0 || out.month < 1 || out.month > 12 || yearDigits > 4) return false;
  if (twoDigitYears && yearDigits <= 2) out.year += out.year < 50 ? 2000 : 1900;
  return out.day <= month_length(out.month, is_leap(out.year));
}

std::int64_t day_number(const Fields& f) { return days_from_civil(f.year, f.month, f.day); }

Fields date_of_day_number(std::int64_t n) { return civil_from_days(n); }

void normalise(Fields& f) {
  carry(f.second, f.minute, 60);
  carry(f.minute, f.hour, 60);
  carry(f.hour, f.day, 24);
  f.month -= 1;
  carry(f.month, f.year, 12);
  f.month += 1;
  const int len = month_length(f.month, is_leap(f.year));
  if (f.day >= 1 && f.day <= len) return;
  const std::int64_t n = days_from_civil(f.year, f.month, 1) + (f.day - 1);
  const Fields d = civil_from_days(n);
  f.year = d.year;
  f.month = d.month;
  f.day = d.day;
}

std::string format_ymdhms(const Fields& f, bool fourDigitYears) {
  char buf[128];
  if (fourDigitYears)
    std::snprintf(buf, sizeof buf, "%04lld:%02lld:%02lld:%02lld:%02lld:%02lld", static_cast<long long>(f.year),
                  static_cast<long long>(f.month), static_cast<long long>(f.day), static_cast<long long>(f.hour),
                  static_cast<long long>(f.minute), static_cast<long long>(f.second));
  else
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld:%02lld:%02lld:%02lld",
                  static_cast<long long>(((f.year % 100) + 100) % 100), static_cast<long long>(f.month),
                  static_cast<long long>(f.day), static_cast<long long>(f.hour), static_cast<long long>(f.minute),
                  static_cast<long long>(f.second));
  return buf;
}

}  // namespace orv::timefn
