// Drive letters do not exist here: no drive is found, and every question
// about one fails as for a drive that is not there.
#include "platform/volumes.h"

namespace orv::platform::volumes {

std::uint32_t drive_mask() { return 0; }

unsigned kind_of(const std::u16string&) { return 0; }

bool space(const std::u16string&, std::uint64_t&, std::uint64_t&, std::uint32_t& err) {
  err = kInvalidDrive;
  return false;
}

bool geometry(const std::u16string&, Geometry&, std::uint32_t& err) {
  err = kInvalidDrive;
  return false;
}

bool facts(const std::u16string&, Facts&, std::uint32_t& err) {
  err = kInvalidDrive;
  return false;
}

}  // namespace orv::platform::volumes
