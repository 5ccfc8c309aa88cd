// YmdHms date-time text: the one parser and formatter every family uses, and
// the calendar arithmetic of the time functions (proleptic Gregorian, year 0
// a leap year).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orv::timefn {

// Six fields, wide enough for the unnormalised offsets of TimeAdd.
struct Fields {
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Parser modes: syntax only, date and time, date only (hour 24 becomes 0),
// time only.
enum Mode : int { kSyntax = 0, kDateTime = 1, kDateOnly = 2, kTimeOnly = 3 };

// True when `text` is a valid YmdHms in `mode`; two-digit years become
// 1950-2049 when `twoDigitYears` is set. Fields hold the values read.
bool parse_ymdhms(std::string_view text, Fields& out, int mode, bool twoDigitYears);

bool is_leap(std::int64_t year);
int month_length(std::int64_t month, bool leap);

// Day 1 is 0000:01:01. Fields must be a valid date.
std::int64_t day_number(const Fields& f);
// The date of a day number >= 1 (time fields zero).
Fields date_of_day_number(std::int64_t n);

// Normalises time fields into their ranges and the date onto the calendar,
// carrying and borrowing through every field.
void normalise(Fields& f);

// "%04d:%02d:%02d:%02d:%02d:%02d", or the year as two digits.
std::string format_ymdhms(const Fields& f, bool fourDigitYears);

}  // namespace orv::timefn
