#include "winauto/key_language.h"

#include <array>
#include <cctype>
#include <climits>

namespace orv::winauto {
namespace {

struct KeyName {
  std::string_view name;
  std::uint16_t vk;
};

// Searched in this order; names beginning with "*" are held modifiers.
constexpr KeyName kKeyNames[] = {
    {"BACKSPACE", 0x08}, {"BS", 0x08}, {"CANCEL", 0x03}, {"CAPSLOCK", 0x14}, {"CLEAR", 0x0C},
    {"DELETE", 0x2E}, {"DEL", 0x2E}, {"DOWN", 0x28}, {"END", 0x23}, {"ENTER", 0x0D}, {"ESCAPE", 0x1B},
    {"ESC", 0x1B}, {"HELP", 0x2F}, {"HOME", 0x24}, {"INSERT", 0x2D}, {"INS", 0x2D}, {"LEFT", 0x25},
    {"NUMLOCK", 0x90}, {"PAUSE", 0x13}, {"PGDN", 0x22}, {"PGUP", 0x21}, {"PRTSC", 0x2C}, {"RIGHT", 0x27},
    {"TAB", 0x09}, {"UP", 0x26}, {"F1", 0x70}, {"F2", 0x71}, {"F3", 0x72}, {"F4", 0x73}, {"F5", 0x74},
    {"F6", 0x75}, {"F7", 0x76}, {"F8", 0x77}, {"F9", 0x78}, {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B},
    {"F13", 0x7C}, {"F14", 0x7D}, {"F15", 0x7E}, {"F16", 0x7F}, {"SPACE", 0x20}, {"SP", 0x20},
    {"SHIFT", 0x10}, {"CTRL", 0x11}, {"MENU", 0x12}, {"ALT", 0x12}, {"NUMPAD0", 0x60}, {"NUMPAD1", 0x61},
    {"NUMPAD2", 0x62}, {"NUMPAD3", 0x63}, {"NUMPAD4", 0x64}, {"NUMPAD5", 0x65}, {"NUMPAD6", 0x66},
    {"NUMPAD7", 0x67}, {"NUMPAD8", 0x68}, {"NUMPAD9", 0x69}, {"NUMPAD*", 0x6A}, {"NUMPAD+", 0x6B},
    {"NUMPAD-", 0x6D}, {"NUMPAD.", 0x6E}, {"NUMPAD/", 0x6F}, {"NUMPAD~", 0x00}, {"LALT", 0xA4},
    {"RALT", 0xA5}, {"LCONTROL", 0xA2}, {"RCONTROL", 0xA3}, {"LSHIFT", 0xA0}, {"RSHIFT", 0xA1},
    {"LWIN", 0x5B}, {"RWIN", 0x5C}, {"APPS", 0x5D}, {"*LALT", 0xA4}, {"*RALT", 0xA5}, {"*LCONTROL", 0xA2},
    {"*RCONTROL", 0xA3}, {"*LSHIFT", 0xA0}, {"*RSHIFT", 0xA1}, {"*LWIN", 0x5B}, {"*RWIN", 0x5C},
    {"*APPS", 0x5D},
};
static_assert(std::size(kKeyNames) == 81);

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The modifier flag a held key ("*NAME") adds.
std::uint32_t held_modifier(std::uint16_t vk, bool sided) {
  switch (vk) {
    case 0xA0: return sided ? mod::kLShift : mod::kShift;
    case 0xA1: return sided ? mod::kRShift : mod::kShift;
    case 0xA2: return sided ? mod::kLCtrl : mod::kCtrl;
    case 0xA3: return sided ? mod::kRCtrl : mod::kCtrl;
    case 0xA4: return sided ? mod::kLAlt : mod::kAlt;
    case 0xA5: return sided ? mod::kRAlt : mod::kAlt;
    case 0x5B: return mod::kLWin;
    case 0x5C: return mod::kRWin;
    default: return mod::kApps;
  }
}

// A decimal count as the group gives it; saturates instead of overflowing.
std::int32_t read_count(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return negative ? 0 : static_cast<std::int32_t>(value);
}

// Modifier keys with their flags, in pressing order.
struct ModifierKey {
  std::uint32_t flag;
  std::uint16_t vk;
};
constexpr ModifierKey kPressOrder[] = {
    {mod::kShift, 0x10}, {mod::kLShift, 0xA0}, {mod::kRShift, 0xA1}, {mod::kCtrl, 0x11}, {mod::kLCtrl, 0xA2},
    {mod::kRCtrl, 0xA3}, {mod::kLWin, 0x5B},   {mod::kRWin, 0x5C},   {mod::kApps, 0x5D}, {mod::kAlt, 0x12},
    {mod::kLAlt, 0xA4},  {mod::kRAlt, 0xA5},
};
constexpr std::uint32_t kAltFlags = mod::kAlt | mod::kLAlt | mod::kRAlt;

}  // namespace

int key_code(std::string_view name) {
  for (const KeyName& k : kKeyNames)
    if (same_name(k.name, name)) return k.vk;
  return -1;
}

KeyParse parse_keys(std::string_view keys, bool sidedModifiers) {
  KeyParse out;
  std::uint32_t mods = 0;
  std::size_t i = 0;
  auto emit = [&](bool isChar, std::uint16_t code, std::int32_t repeat) {
    out.units.push_back(KeyUnit{isChar, code, mods, repeat});
    mods = 0;
  };
  while (i < keys.size()) {
    const char ch = keys[i++];
    if (ch == '+') { mods |= mod::kShift; continue; }
    if (ch == '^') { mods |= mod::kCtrl; continue; }
    if (ch == '!') { mods |= mod::kAlt; continue; }
    if (ch == '~') { emit(false, 0x0D, 1); continue; }
    if (ch != '{') { emit(true, static_cast<unsigned char>(ch), 1); continue; }
    if (i + 1 < keys.size() && keys[i + 1] == '}') {   // {+} {{} {}} ...
      emit(true, static_cast<unsigned char>(keys[i]), 1);
      i += 2;
      continue;
    }
    const std::size_t close = keys.find('}', i);
    if (close == std::string_view::npos) { out.malformed = true; break; }
    std::string_view group = keys.substr(i, close - i);
    i = close + 1;
    std::int32_t repeat = 1;
    if (const std::size_t space = group.find(' '); space != std::string_view::npos) {
      repeat = read_count(group.substr(space + 1));
      group = group.substr(0, space);
    }
    if (group.size() == 1) { emit(true, static_cast<unsigned char>(group[0]), repeat); continue; }
    const int vk = key_code(group);
    if (vk < 0) { out.malformed = true; break; }
    if (group[0] == '*') { mods |= held_modifier(static_cast<std::uint16_t>(vk), sidedModifiers); continue; }
    emit(false, static_cast<std::uint16_t>(vk), repeat);
  }
  return out;
}

std::uint32_t layout_modifiers(unsigned shiftState) {
  std::uint32_t mods = shiftState & 0x7F;   // bits 1..64 line up with our flags
  if (shiftState > 127) mods |= mod::kLShift;
  return mods;
}

KeyEvent make_event(std::uint16_t vk, bool up) {
  if (vk == 0) return KeyEvent{0x0D, up, true};
  auto in = [vk](unsigned lo, unsigned hi) { return vk >= lo && vk <= hi; };
  const bool plain = in(0x08, 0x20) || in(0x30, 0x5A) || in(0x70, 0x87) || in(0xBA, 0xC0) || in(0xDB, 0xDE);
  return KeyEvent{vk, up, !plain};
}

void key_events(std::uint16_t vk, std::uint32_t mods, std::vector<KeyEvent>& out) {
  for (const ModifierKey& m : kPressOrder)
    if (mods & m.flag) out.push_back(make_event(m.vk, false));
  out.push_back(make_event(vk, false));
  for (auto it = std::rbegin(kPressOrder); it != std::rend(kPressOrder); ++it)
    if ((mods & it->flag) && (it->flag & kAltFlags)) out.push_back(make_event(it->vk, true));
  out.push_back(make_event(vk, true));
  for (auto it = std::rbegin(kPressOrder); it != std::rend(kPressOrder); ++it)
    if ((mods & it->flag) && !(it->flag & kAltFlags)) out.push_back(make_event(it->vk, true));
}

}  // namespace orv::winauto
