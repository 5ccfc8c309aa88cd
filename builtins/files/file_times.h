// The YmdHms text of file times, read and written by every file-time built-in.
#pragma once
#include <string>
#include <string_view>

#include "engine/context.h"
#include "platform/files.h"

namespace orv::files {

// "YYYY:MM:DD:HH:MM:SS"; the time fields may be left off, and a two-digit
// year means 1950-2049. False when the text is no valid file time.
bool parse_file_time(std::u16string_view s, platform::files::LocalTime& t);
// A file time as YmdHms, with the year as the four-digit-year setting has it.
std::string file_time_text(const Context& c, const platform::files::LocalTime& t);

// -1, 0 or 1 as `a` is earlier than, the same second as, or later than `b`.
int compare_file_times(const platform::files::LocalTime& a, const platform::files::LocalTime& b);

}  // namespace orv::files
