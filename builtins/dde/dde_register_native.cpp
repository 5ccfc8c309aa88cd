// DDE is a Windows service: off Windows the DDE built-ins stay unregistered
// and calling one is the missing-function error.
#include "builtins/families.h"

namespace orv {

void register_dde_functions(HandlerTable&) {}

}  // namespace orv
