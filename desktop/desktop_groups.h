// The groups of desktop built-ins (shortcuts, icons, sounds), each
// registering its handlers.
#pragma once
#include "builtins/dispatch.h"

namespace orv::desktop {
void register_shortcuts(HandlerTable& t);
void register_icons(HandlerTable& t);
void register_sounds(HandlerTable& t);
}  // namespace orv::desktop
