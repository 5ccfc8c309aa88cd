// Fuzz target: the automation layer's text rules (type names, YmdHms dates,
// prefixes, monikers) and the readings of raw type words, codes and dates.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "com/variant_rules.h"

using namespace orv::com;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto type = parse_vartype(text)) {
    // A name that reads is written back as something that reads the same.
    const std::string written = vartype_text(*type, true);
    if (written.find('<') == std::string::npos && parse_vartype(written) != type) std::abort();
  }
  if (auto date = ymdhms_to_date(text)) {
    // A valid date comes back as the same instant.
    auto back = date_to_ymdhms(*date);
    if (!back || ymdhms_to_date(*back) != date) std::abort();
  }
  std::string copy(text);
  strip_prefix(copy, "#CURRENCY:");
  is_moniker_name(text);
  if (size >= 8) {
    std::uint16_t word = 0;
    std::uint32_t status = 0;
    double when = 0;
    std::memcpy(&word, data, sizeof word);
    std::memcpy(&status, data, sizeof status);
    std::memcpy(&when, data, sizeof when);
    vartype_text(word, false);
    error_for_status(status, data[4] & 1);
    if (auto t = date_to_ymdhms(when); t && !ymdhms_to_date(*t)) std::abort();
  }
  return 0;
}
