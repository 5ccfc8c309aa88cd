// Shortcuts and icons exist only on Windows: natively those built-ins stay
// unregistered (the missing-function error). Sounds register everywhere and
// answer "no device" here.
#include "builtins/families.h"
#include "desktop/desktop_groups.h"

namespace orv {

void register_desktop_functions(HandlerTable& t) { desktop::register_sounds(t); }

}  // namespace orv
