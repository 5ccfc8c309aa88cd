#include "builtins/text/units.h"

namespace orv::text {

bool ask_code_page_has_lead_bytes() {
  for (unsigned b = 0x80; b < 0x100; ++b)
    if (platform::is_dbcs_lead_byte(static_cast<unsigned char>(b))) return true;
  return false;
}

}  // namespace orv::text
