// Menu files: titles at four indentation levels, each leaf followed by the
// script lines it runs. Platform free: the parser works on the file's text
// (already ANSI); the Windows exports build menus from its result.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::menus {

inline constexpr std::size_t kLineMax = 2052;   // bytes of a line that are read
inline constexpr std::size_t kHotKeysPerMenu = 100;

struct HotKey {
  std::uint16_t word = 0;   // key code with the Alt 3000, Ctrl 4000, Shift 8000 bits
  std::string shown;        // "Ctrl+E"
};

struct MenuEntry {
  int level = 1;                   // 1 = menu-bar entry
  std::string caption;             // up to the backslash, tabs as spaces
  HotKey hotKey;                   // word 0: none
  bool popup = false;              // has sub-titles
  int item = 0;                    // command items: 1-based number in file order
  int popupNumber = 0;             // pop-ups: 1-based number in file order
  int line = 0;                    // 1-based line of the title
  std::vector<std::string> script; // command items: their script lines
  std::string menu_text() const { return hotKey.word ? caption + "\t" + hotKey.shown : caption; }
};

struct MenuFile {
  std::vector<MenuEntry> entries;  // in file order
  std::uint16_t message = 0;       // 0: parsed; else the message number of the fault
  int badLine = 0;                 // its line number
  std::string badText;             // and text
};

enum class LineKind { ignored, title1, title2, title3, title4, script };
LineKind classify(std::string_view line);

// Parses the whole text; the first structural fault stops it (message set).
MenuFile parse_menu(std::string_view text);

// Parses the part of a title after its backslash; false when it is no hot key.
bool parse_hot_key(std::string_view text, HotKey& out);

// The script of command item `item` as one text (lines ended by CR LF), or
// false when there is no such item.
bool item_script(const MenuFile& menu, int item, std::string& out);

}  // namespace orv::menus
