// Menus need a window system: natively the menu host only says so.
#include "host/menu_host.h"
#include "platform/platform.h"

namespace orv::host {
int run_menu_host(const EngineApi&, const std::string&, bool) {
  platform::write_stderr("orvhost: --menu needs the Windows build\n");
  return 2;
}
}  // namespace orv::host
