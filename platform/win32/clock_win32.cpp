#include <windows.h>
#include "platform/clock.h"

namespace orv::platform {
namespace {

CalendarTime from_system_time(const SYSTEMTIME& s) {
  CalendarTime c;
  c.year = s.wYear;
  c.month = s.wMonth;
  c.day = s.wDay;
  c.hour = s.wHour;
  c.minute = s.wMinute;
  c.second = s.wSecond;
  c.millisecond = s.wMilliseconds;
  c.weekday = s.wDayOfWeek;
  return c;
}

}  // namespace

CalendarTime local_time() {
  SYSTEMTIME s{};
  GetLocalTime(&s);
  return from_system_time(s);
}

CalendarTime utc_time() {
  SYSTEMTIME s{};
  GetSystemTime(&s);
  return from_system_time(s);
}

std::uint64_t tick_count64() {
  // GetTickCount64 exists from Vista on; earlier systems fall back to the
  // 32-bit count.
  using Fn = ULONGLONG(WINAPI*)();
  static const Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  return fn ? fn() : GetTickCount();
}

}  // namespace orv::platform

namespace orv::platform {

bool locale_date_time(const CalendarTime& t, std::string& date, std::string& time) {
  SYSTEMTIME s{};
  s.wYear = static_cast<WORD>(t.year);
  s.wMonth = static_cast<WORD>(t.month);
  s.wDay = static_cast<WORD>(t.day);
  s.wDayOfWeek = static_cast<WORD>(t.weekday);
  s.wHour = static_cast<WORD>(t.hour);
  s.wMinute = static_cast<WORD>(t.minute);
  s.wSecond = static_cast<WORD>(t.second);
  char d[128], h[128];
  if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &s, nullptr, d, sizeof d)) return false;
  if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &s, nullptr, h, sizeof h)) return false;
  date = d;
  time = h;
  return true;
}

}  // namespace orv::platform
