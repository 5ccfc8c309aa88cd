// Named pipes are a Windows service: off Windows the pipe built-ins stay
// unregistered and calling one is the missing-function error.
#include "builtins/families.h"

namespace orv {

void register_pipe_functions(HandlerTable&) {}

}  // namespace orv
