// The key language of SendKey: parsing a key string into units, and turning a
// unit into the ordered key presses and releases. Platform-free; the Windows
// sender only maps characters to keys and injects the events.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace orv::winauto {

// Modifier set carried to the next unit.
namespace mod {
inline constexpr std::uint32_t kShift = 1, kCtrl = 2, kAlt = 4, kLAlt = 8, kRAlt = 16, kLCtrl = 32, kRCtrl = 64,
                               kLShift = 128, kRShift = 256, kLWin = 512, kRWin = 1024, kApps = 2048;
}

struct KeyUnit {
  bool isChar = false;      // a plain character still to be mapped by the keyboard layout
  std::uint16_t code = 0;   // the character, or the virtual-key code (0 = keypad Enter)
  std::uint32_t mods = 0;
  std::int32_t repeat = 1;  // below 1 sends nothing
};

struct KeyParse {
  std::vector<KeyUnit> units;   // the units before the first malformed one
  bool malformed = false;       // an unclosed "{" or an unknown key name
};

// `sidedModifiers`: the left/right modifier keys keep their side (NT family);
// otherwise they fall back to plain Shift, Ctrl and Alt.
KeyParse parse_keys(std::string_view keys, bool sidedModifiers = true);

// The virtual-key code of a name of the key table (case-insensitive); -1 when unknown.
int key_code(std::string_view name);

// Modifiers of a layout shift state (the high byte of a character-to-key answer).
std::uint32_t layout_modifiers(unsigned shiftState);

struct KeyEvent {
  std::uint16_t vk = 0;
  bool up = false;
  bool extended = false;
};

// The presses and releases of one key with its modifiers: modifiers down in
// their order, the key down, Alt keys up, the key up, the other modifiers up.
void key_events(std::uint16_t vk, std::uint32_t mods, std::vector<KeyEvent>& out);

// Whether the key goes out with the extended-key flag (and code 0 as Enter).
KeyEvent make_event(std::uint16_t vk, bool up);

}  // namespace orv::winauto
