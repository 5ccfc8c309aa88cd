#include "desktop/shortcut_text.h"

#include <array>

#include "winauto/key_language.h"

namespace orv::desktop {
namespace {

// The system's folder numbers (stable across its versions).
constexpr std::array<SpecialFolder, 22> kSpecialFolders{{
    {"Desktop", 0x10, 0x19},
    {"Documents", 0x05, 0x2e},
    {"Start Menu", 0x0b, 0x16},
    {"Programs", 0x02, 0x17},
    {"Startup", 0x07, 0x18},
    {"AppData", 0x1a, 0x23},
    {"Local AppData", 0x1c, -1},
    {"Favorites", 0x06, 0x1f},
    {"Fonts", 0x14, -1},
    {"Templates", 0x15, 0x2d},
    {"Recent", 0x08, -1},
    {"SendTo", 0x09, -1},
    {"NetHood", 0x13, -1},
    {"PrintHood", 0x1b, -1},
    {"Cache", 0x20, -1},
    {"Cookies", 0x21, -1},
    {"History", 0x22, -1},
    {"Music", 0x0d, 0x35},
    {"Pictures", 0x27, 0x36},
    {"Videos", 0x0e, 0x37},
    {"Administrative Tools", 0x30, 0x2f},
    {"Personal", 0x05, 0x2e},   // the older name of Documents
}};

std::string folded(std::string_view name) {
  std::string out;
  for (char ch : name) {
    if (ch == ' ' || ch == '\t') continue;
    out += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
  }
  return out;
}

constexpr int kShowNormal = 1, kShowMaximized = 3, kShowMinNoActive = 7, kShowMinimized = 2, kShowMinimize = 6;

constexpr std::uint16_t kHotShift = 1, kHotCtrl = 2, kHotAlt = 4;

// Key names written back in braces: the ones a hotkey is likely to use.
constexpr std::array<std::string_view, 20> kHotkeyNames{
    "HOME", "END", "INSERT", "DELETE", "PGUP", "PGDN", "UP", "DOWN", "LEFT", "RIGHT",
    "SPACE", "TAB", "ENTER", "ESC", "BACKSPACE", "PAUSE", "CAPSLOCK", "NUMLOCK", "SCROLLLOCK", "PRTSC"};

}  // namespace

std::optional<SpecialFolder> special_folder(std::string_view name) {
  const std::string wanted = folded(name);
  if (wanted.empty()) return std::nullopt;
  for (const SpecialFolder& f : kSpecialFolders)
    if (folded(f.name) == wanted) return f;
  return std::nullopt;
}

std::string_view special_folder_name(std::size_t index) {
  return index < kSpecialFolders.size() ? kSpecialFolders[index].name : std::string_view();
}

std::optional<int> show_command(int mode) {
  switch (mode) {
    case 1: return kShowMinNoActive;
    case 2: return kShowNormal;
    case 3: return kShowMaximized;
    default: return std::nullopt;
  }
}

int show_mode(int command) {
  if (command == kShowMinNoActive || command == kShowMinimized || command == kShowMinimize) return 1;
  if (command == kShowMaximized) return 3;
  return 2;
}

std::optional<int> link_file_show_command(std::string_view bytes) {
  constexpr std::size_t kHeaderSize = 0x4C, kShowAt = 0x3C;
  if (bytes.size() < kHeaderSize || static_cast<unsigned char>(bytes[0]) != kHeaderSize || bytes[1] || bytes[2] ||
      bytes[3])
    return std::nullopt;
  int show = 0;
  for (int i = 3; i >= 0; --i) show = show << 8 | static_cast<unsigned char>(bytes[kShowAt + static_cast<std::size_t>(i)]);
  return show;
}

std::optional<std::uint16_t> parse_hotkey(std::string_view text) {
  if (text.empty()) return std::uint16_t{0};
  const winauto::KeyParse parsed = winauto::parse_keys(text, false);
  if (parsed.malformed || parsed.units.size() != 1) return std::nullopt;
  const winauto::KeyUnit& unit = parsed.units[0];
  if (unit.repeat != 1) return std::nullopt;
  std::uint16_t vk = unit.code;
  if (unit.isChar) {
    if (vk >= 'a' && vk <= 'z') vk = static_cast<std::uint16_t>(vk - 'a' + 'A');
    if (!((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))) return std::nullopt;
  }
  if (vk == 0 || vk > 0xFF) return std::nullopt;
  std::uint16_t mods = 0;
  if (unit.mods & winauto::mod::kShift) mods |= kHotShift;
  if (unit.mods & winauto::mod::kCtrl) mods |= kHotCtrl;
  if (unit.mods & winauto::mod::kAlt) mods |= kHotAlt;
  if (unit.mods & ~(winauto::mod::kShift | winauto::mod::kCtrl | winauto::mod::kAlt)) return std::nullopt;
  return static_cast<std::uint16_t>(vk | (mods << 8));
}

std::string hotkey_text(std::uint16_t hotkey) {
  const int vk = hotkey & 0xFF;
  if (vk == 0) return {};
  const int mods = hotkey >> 8;
  std::string out;
  if (mods & kHotCtrl) out += '^';
  if (mods & kHotAlt) out += '!';
  if (mods & kHotShift) out += '+';
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return out + static_cast<char>(vk);
  if (vk >= 0x70 && vk <= 0x87) return out + "{F" + std::to_string(vk - 0x6F) + "}";
  for (std::string_view name : kHotkeyNames)
    if (winauto::key_code(name) == vk) return out + "{" + std::string(name) + "}";
  return out + "{" + std::to_string(vk) + "}";   // a key without a name: its number, kept for reading only
}

}  // namespace orv::desktop
