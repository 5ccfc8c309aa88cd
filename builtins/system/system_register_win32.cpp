#include "builtins/families.h"
#include "builtins/system/system_groups.h"

namespace orv {

void register_system_functions(HandlerTable& t) {
  sysinfo::register_versions(t);
  sysinfo::register_elevation(t);
  sysinfo::register_machine(t);
  sysinfo::register_parameters(t);
}

}  // namespace orv
