// Elevation facts in words and the settings a program's manifest asks for,
// shared by the trace header and the elevation built-ins.
#pragma once
#include <string>
#include <string_view>

#include "platform/process_facts.h"

namespace orv::uac {

// "Elevated", "Admin Not Elevated"... as the trace header prints them.
const char* elevation_name(platform::Elevation e);

struct ManifestSettings {
  std::string level;      // requestedExecutionLevel's level ("asInvoker"...), "" when none
  std::string uiAccess;   // its uiAccess ("true", "false"), "" when none
};
// Reads the requested execution level out of a manifest (UTF-8, or UTF-16
// with or without its byte-order mark). Never fails: what it cannot find
// stays empty.
ManifestSettings parse_manifest(std::string_view manifest);

}  // namespace orv::uac
