// The groups of registry built-ins, each registering its handlers.
#pragma once
#include "builtins/dispatch.h"

namespace orv::registry {
void register_values(HandlerTable& t);
void register_keys(HandlerTable& t);
}  // namespace orv::registry
