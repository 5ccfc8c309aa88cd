#include "builtins/families.h"
#include "desktop/desktop_groups.h"

namespace orv {

void register_desktop_functions(HandlerTable& t) {
  desktop::register_shortcuts(t);
  desktop::register_icons(t);
  desktop::register_sounds(t);
}

}  // namespace orv
