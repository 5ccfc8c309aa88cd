// The automation layer: what it implements for the engine, and its built-ins.
#pragma once
#include "builtins/dispatch.h"
#include "engine/object_hooks.h"

namespace orv {
void register_com_functions(HandlerTable& t);
}  // namespace orv
