#include <cstring>

#include "com/com_hooks.h"
#include "com/variant_rules.h"

namespace orv {

std::string com_type_name(const Value& v) {
  if (!(v.flags & vf::kCom)) return {};
  if (v.flags & vf::kComObject) return com::vartype_text(com::vt::kDispatch, true);
  std::uint16_t type = 0;
  std::memcpy(&type, v.variant, sizeof type);
  return com::vartype_text(type, true);
}

}  // namespace orv
