// The script-supplied text the folder, disk and environment functions read,
// and the text they answer with. Platform-free.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::system {

// One drive as scripts name it: "C", "c:", "C:\" or "C:/", blanks around it
// allowed. The upper-case letter, or nothing when the text is no drive.
std::optional<char> parse_drive(std::u16string_view text);

// Drives separated by blanks, TABs, commas, semicolons or "|". Each letter
// once, in the order first named. An item that is no drive makes `bad` that
// item; a list naming no drive has no letters and no `bad` item.
struct DriveList {
  std::vector<char> letters;
  std::optional<std::u16string> bad;
};
DriveList parse_drive_list(std::u16string_view text);

// "C:\" for a letter.
std::u16string drive_root(char letter);
// The root a volume question is asked of: a drive (as parse_drive reads it)
// or a share "\\server\share", with "\" at its end.
std::optional<std::u16string> volume_root(std::u16string_view text);

// 1234567 as "1,234,567".
std::string group_thousands(std::uint64_t n);
// A volume serial number as the system shows it: "1A2B-3C4D".
std::string serial_text(std::uint32_t serial);

// Longest value a variable may take; the system's block holds 32767
// characters per variable, its terminator included.
inline constexpr std::size_t kMaxEnvironmentValue = 32766;
// A name a variable can have: not empty, and no "=" (which ends the name in
// the system's NAME=VALUE entries) or NUL.
bool environment_name_ok(std::u16string_view name);
// The entries one per line, ended by LF between them. Entries whose name
// starts with "=" (the system's per-drive folders) are left out.
std::u16string environment_lines(const std::vector<std::u16string>& entries);

}  // namespace orv::system
