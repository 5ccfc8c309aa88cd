// Off Windows the version and elevation facts have stand-ins; the machine's
// names, metrics, memory facts and desktop parameters stay unregistered, and
// calling one is the missing-function error.
#include "builtins/families.h"
#include "builtins/system/system_groups.h"

namespace orv {

void register_system_functions(HandlerTable& t) {
  sysinfo::register_versions(t);
  sysinfo::register_elevation(t);
}

}  // namespace orv
