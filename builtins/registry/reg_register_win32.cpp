#include "builtins/families.h"
#include "builtins/registry/reg_groups.h"

namespace orv {

void register_registry_functions(HandlerTable& t) {
  registry::register_values(t);
  registry::register_keys(t);
}

}  // namespace orv
