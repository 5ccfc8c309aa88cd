// Fuzz target: the texts the system built-ins read: program manifests,
// computer names, number parameters and folder paths. The first byte picks
// the reader.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "builtins/system/system_rules.h"
#include "engine/uac_facts.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::u16string wide(text.begin(), text.end());
  switch (data[0] % 4) {
    case 0: {
      const uac::ManifestSettings m = uac::parse_manifest(text);
      // An attribute value never runs past its quotes nor out of its tag.
      for (const std::string* v : {&m.level, &m.uiAccess})
        if (v->find('>') != std::string::npos ||
            (v->find('"') != std::string::npos && v->find('\'') != std::string::npos))
          std::abort();
      break;
    }
    case 1: {
      const std::int32_t which = (data[0] >> 2) % 8;
      if (sysinfo::valid_computer_name(wide, which) &&
          (!sysinfo::is_settable_name_type(which) || wide.size() > 255))
        std::abort();
      break;
    }
    case 2: {
      std::int32_t n = 0;
      if (sysinfo::parse_number(wide, n)) {
        // What a number prints as reads back the same.
        const std::string shown = std::to_string(n);
        std::int32_t again = 0;
        if (!sysinfo::parse_number(std::u16string(shown.begin(), shown.end()), again) || again != n) std::abort();
      }
      break;
    }
    default: {
      const std::size_t bar = wide.find(u'|');
      if (bar == std::u16string::npos) break;
      const std::u16string dir = wide.substr(0, bar), root = wide.substr(bar + 1);
      // A folder below a protected one is protected.
      if (sysinfo::is_within(dir, root) && !sysinfo::is_within(dir + u"\\x", root)) std::abort();
      break;
    }
  }
  return 0;
}
