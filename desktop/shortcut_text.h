// The platform-free side of shortcuts: special folder names, show modes and
// hotkeys as scripts write them, and the numbers the system keeps for them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::desktop {

// A special folder: the system's folder numbers for the user's own and, where
// there is one, the all-users folder (-1: none; the user's is used).
struct SpecialFolder {
  std::string_view name;
  int user;
  int allUsers;
};
// Case and blanks between words do not matter ("start menu", "StartMenu").
std::optional<SpecialFolder> special_folder(std::string_view name);
// Every name special_folder knows, for listing and tests.
std::string_view special_folder_name(std::size_t index);   // "" past the end

// Show modes: @ICON 1, @NORMAL 2, @ZOOMED 3 <-> the system's show commands.
std::optional<int> show_command(int mode);
int show_mode(int command);

// The show command a shortcut file's fixed header holds (read from the
// bytes, as some link objects do not hand it back); none when the bytes do
// not start with a shortcut header.
std::optional<int> link_file_show_command(std::string_view bytes);

// Hotkeys in the key language: modifiers "^" Ctrl, "!" Alt, "+" Shift, then
// one key: a letter, a digit or a key name in braces ("^!K", "+{F5}").
// The system's form: virtual key in the low byte, Shift 1, Ctrl 2, Alt 4 above.
// "" is no hotkey (0); none when the text is not exactly one such key.
std::optional<std::uint16_t> parse_hotkey(std::string_view text);
std::string hotkey_text(std::uint16_t hotkey);

}  // namespace orv::desktop
