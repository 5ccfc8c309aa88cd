// Stand-ins off Windows: root counts as elevated, programs carry no
// manifest, and the host is the interpreter itself.
#include "platform/process_facts.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "resources/version.h"

namespace orv::platform {

OsVersionDetail os_version_detail() {
  OsVersionDetail v;
  static_cast<OsVersion&>(v) = os_version();
  v.productType = 1;
  return v;
}

Elevation elevation_level() { return geteuid() == 0 ? Elevation::elevated : Elevation::standard; }

bool program_manifest(const std::u16string& path, std::string& manifest) {
  manifest.clear();
  std::string narrow;
  if (!utf16_to_ansi(path, narrow)) return false;
  struct stat st{};
  return stat(narrow.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string process_manifest() { return {}; }

std::string host_version_text() { return kVersionText; }

std::u16string find_program(const std::u16string& name) {
  std::string narrow;
  if (!utf16_to_ansi(name, narrow)) return {};
  const std::string found = search_path(narrow);
  struct stat st{};
  if (found.empty() || stat(found.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::u16string out;
  ansi_to_utf16(found, out);
  return out;
}

}  // namespace orv::platform
