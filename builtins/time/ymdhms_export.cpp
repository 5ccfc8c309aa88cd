// ParseYMDHMS: the YmdHms parser for hosts and extenders (part of the engine:
// the extender information block hands it out). `fields` receives year, month,
// day, hours, minutes and seconds; the result is 1 for a valid text in the
// mode (0 syntax, 1 date and time, 2 date, 3 time), else 0.
#include <cstdint>

#include "builtins/time/ymdhms.h"
#include "api/orv_api.h"

ORV_EXPORT int ORV_CALL ParseYMDHMS(const char* text, std::int32_t* fields, int mode, int twoDigitYears) {
  if (!text || !fields || mode < 0 || mode > 3) return 0;
  orv::timefn::Fields f;
  const bool ok = orv::timefn::parse_ymdhms(text, f, mode, twoDigitYears != 0);
  const std::int64_t values[6] = {f.year, f.month, f.day, f.hour, f.minute, f.second};
  for (int i = 0; i < 6; ++i) {
    // Fields hold 32 bits; a longer syntax-only value is no valid time.
    if (values[i] > INT32_MAX) return 0;
    fields[i] = static_cast<std::int32_t>(values[i]);
  }
  return ok ? 1 : 0;
}
