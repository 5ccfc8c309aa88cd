#include "winauto/title_pattern.h"

#include <cstdio>

namespace orv::winauto {

std::string make_window_id(std::uint32_t handle) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08lX", static_cast<unsigned long>(handle));
  return std::string(kWindowIdPrefix) + digits;
}

}  // namespace orv::winauto
