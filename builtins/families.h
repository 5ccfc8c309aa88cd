// Each family of built-ins adds its handlers to the table here.
#pragma once
#include "builtins/dispatch.h"

namespace orv {
void register_control_functions(HandlerTable& t);
}  // namespace orv
