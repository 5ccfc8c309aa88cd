// Wall-clock time and a 64-bit tick count for the time family.
#pragma once
#include <cstdint>
#include <string>

namespace orv::platform {

// Calendar fields of a moment; weekday 0 = Sunday.
struct CalendarTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0, weekday = 0;
};
CalendarTime local_time();
CalendarTime utc_time();
std::uint64_t tick_count64();                    // milliseconds since system start, never wraps

}  // namespace orv::platform

namespace orv::platform {
// The moment's date and time in the user's short formats; false when the
// system cannot format them.
bool locale_date_time(const CalendarTime& t, std::string& date, std::string& time);
}  // namespace orv::platform
