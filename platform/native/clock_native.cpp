#include <cstdio>
#include <ctime>
#include "platform/clock.h"

namespace orv::platform {
namespace {

CalendarTime from_tm(const std::tm& t, long nanoseconds) {
  CalendarTime c;
  c.year = t.tm_year + 1900;
  c.month = t.tm_mon + 1;
  c.day = t.tm_mday;
  c.hour = t.tm_hour;
  c.minute = t.tm_min;
  c.second = t.tm_sec > 59 ? 59 : t.tm_sec;   // a leap second reads as :59
  c.millisecond = static_cast<int>(nanoseconds / 1000000);
  c.weekday = t.tm_wday;
  return c;
}

}  // namespace

CalendarTime local_time() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm t{};
  localtime_r(&ts.tv_sec, &t);
  return from_tm(t, ts.tv_nsec);
}

CalendarTime utc_time() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm t{};
  gmtime_r(&ts.tv_sec, &t);
  return from_tm(t, ts.tv_nsec);
}

std::uint64_t tick_count64() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace orv::platform

namespace orv::platform {

// No user locale here: the C locale's numeric forms.
bool locale_date_time(const CalendarTime& t, std::string& date, std::string& time) {
  char d[32], h[32];
  std::snprintf(d, sizeof d, "%02d/%02d/%02d", t.month, t.day, t.year % 100);
  std::snprintf(h, sizeof h, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  date = d;
  time = h;
  return true;
}

}  // namespace orv::platform
