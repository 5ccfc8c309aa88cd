// Fuzz target: the YmdHms parser in every mode, and the calendar arithmetic on
// whatever it accepts (day numbers must map back to the same date).
#include <cstdlib>
#include <string_view>

#include "builtins/time/ymdhms.h"

using namespace orv::timefn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (int mode = 0; mode < 4; ++mode) {
    Fields f;
    if (!parse_ymdhms(text, f, mode, mode & 1)) continue;
    if (mode == kDateTime || mode == kDateOnly) {
      const Fields back = date_of_day_number(day_number(f));
      if (back.year != f.year || back.month != f.month || back.day != f.day) std::abort();
    }
    normalise(f);
    (void)format_ymdhms(f, mode != 2);
  }
  return 0;
}
