// What the running process knows about its rights and its programs: the
// elevation of its token, the manifests embedded in programs and the host's
// version text. The debug trace's header and the system built-ins both read
// them here, so each fact has one source.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace orv::platform {

// The system's version with the parts the trace header leaves out.
struct OsVersionDetail : OsVersion {
  unsigned long platformId = 0;              // 2 for the NT family
  std::string servicePack;                   // "" when none is installed
  unsigned long servicePackMajor = 0, servicePackMinor = 0;
  unsigned long productType = 0;             // 1 workstation, 2 domain controller, 3 server
};
OsVersionDetail os_version_detail();

// The token's elevation, numbered as scripts see it.
enum class Elevation : std::int32_t {
  unknown = -1,             // the question could not be asked
  unsupported = 0,          // the system has no elevation
  standard = 1,             // a standard user, or elevation is turned off
  elevated = 2,             // an administrator running elevated
  admin_not_elevated = 3,   // an administrator running with the filtered token
};
Elevation elevation_level();

// The manifest embedded in a program file (resource 1 of the manifest type),
// as its bytes. False when the file cannot be read as a program; true with an
// empty text when it has no manifest.
bool program_manifest(const std::u16string& path, std::string& manifest);
// The manifest of the program running this process ("" when none).
std::string process_manifest();

// The version text of the program hosting the interpreter, from its version
// resource; "" when it has none.
std::string host_version_text();

// Where a program name leads: the file that starting it would run (the
// program search path and ".exe" as the system applies them); "" when none.
std::u16string find_program(const std::u16string& name);

}  // namespace orv::platform
