// orvhost --menu FILE [--once]: shows a menu file's menus in a window and
// runs the chosen item's script through the library.
#pragma once
#include <string>
#include <vector>

#include "host/engine_api.h"

namespace orv::host {
int run_menu_host(const EngineApi& api, const std::string& menuFile, bool once);
}  // namespace orv::host
