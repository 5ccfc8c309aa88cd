// Calls of the host's own functions (ids 1000-1998) through its entry point.
#pragma once
#include "builtins/dispatch.h"

namespace orv {
void call_host_function(Call& call);
}  // namespace orv
