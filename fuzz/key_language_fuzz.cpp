// Fuzz target: any key string parses, or stops at its malformed unit; the
// events of every unit are built as the sender would build them.
#include <cstdint>
#include <string_view>

#include "winauto/key_language.h"

using namespace orv::winauto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view keys(reinterpret_cast<const char*>(data), size);
  KeyParse parsed = parse_keys(keys, size % 2 == 0);
  if (parsed.units.size() > size) __builtin_trap();   // every unit consumes input
  std::vector<KeyEvent> events;
  for (const KeyUnit& u : parsed.units) {
    events.clear();
    key_events(u.isChar ? static_cast<std::uint16_t>(u.code & 0xFF) : u.code, u.mods, events);
    if (events.size() < 2 || events.size() > 26) __builtin_trap();
  }
  return 0;
}
