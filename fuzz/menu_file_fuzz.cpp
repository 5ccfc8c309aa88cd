// Fuzz target: any menu text parses or stops at a numbered fault, and the
// script of every command item can be extracted.
#include <cstdint>
#include <string>

#include "ui/menus/menu_file.h"

using namespace orv::menus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MenuFile m = parse_menu(std::string_view(reinterpret_cast<const char*>(data), size));
  if (m.message != 0 && (m.message < 500 || m.message > 599)) __builtin_trap();
  std::string script;
  int items = 0;
  for (const MenuEntry& e : m.entries)
    if (e.item) {
      ++items;
      if (e.level < 1 || e.level > 4 || !item_script(m, e.item, script)) __builtin_trap();
    }
  if (m.message == 0 && item_script(m, items + 1, script)) __builtin_trap();
  return 0;
}
