// There is no registry off Windows: the registry built-ins stay unregistered
// and calling one is the missing-function error.
#include "builtins/families.h"

namespace orv {

void register_registry_functions(HandlerTable&) {}

}  // namespace orv
