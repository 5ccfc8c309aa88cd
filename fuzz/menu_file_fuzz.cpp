// Fuzz target: a menu file and the files it includes, decoded and expanded
// like the menu exports do, then parsed; any text parses or stops at a
// numbered fault, and the script of every command item can be extracted.
// The input is split at "\n@@\n" into the menu file ("menu.mnu") and the
// files "1", "2", ... it may include, all served from memory.
#include <cstdint>
#include <string>

#include "tests/support/memory_files.h"
#include "ui/menus/menu_file.h"
#include "ui/menus/menu_text.h"

using namespace orv;
using namespace orv::menus;

namespace {

bool menu_text_fault(std::uint16_t n) { return n >= 215 && n <= 219; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  orv::test_support::MemoryFiles disk;
  std::string menuFile;
  std::size_t start = 0;
  for (int k = 0; start <= input.size(); ++k) {
    std::size_t cut = input.find("\n@@\n", start);
    if (cut == std::string::npos) cut = input.size();
    const std::string part = input.substr(start, cut - start);
    if (k == 0) menuFile = part; else disk.files[std::to_string(k)] = part;
    start = cut + 4;
  }
  std::string text;
  MenuTextFault fault;
  if (!prepare_menu_text(menuFile, "menu.mnu", disk, text, fault)) {
    if (!menu_text_fault(fault.message)) __builtin_trap();
    return 0;
  }
  const MenuFile m = parse_menu(text);
  if (m.message != 0 && (m.message < 500 || m.message > 599)) __builtin_trap();
  std::string script;
  int items = 0, popups = 0;
  for (const MenuEntry& e : m.entries) {
    if (e.item) {
      ++items;
      if (e.level < 1 || e.level > 4 || !item_script(m, e.item, script)) __builtin_trap();
    }
    if (m.message == 0 && e.popup && e.popupNumber != ++popups) __builtin_trap();
  }
  if (m.message == 0 && item_script(m, items + 1, script)) __builtin_trap();
  return 0;
}
