// The process's place in the file system: its current folder, the folder of
// the interpreter and the system's folders, folder renames and folder sizes.
// Paths are UTF-16 and already full (see files::full_path). Functions that
// fail return false and put the system's error code in `err`.
#pragma once
#include <cstdint>
#include <string>

namespace orv::platform::folders {

inline constexpr std::uint32_t kNotSameDevice = 17;
inline constexpr std::uint32_t kAlreadyExists = 183;

// The current folder, ending in a separator.
bool current(std::u16string& out);
// Makes a folder current. On Windows each drive remembers its own current
// folder (in the "=X:" variables), so a later change to "X:" comes back to it.
bool change(const std::u16string& path, std::uint32_t& err);
// The folder that holds the interpreter's module, ending in a separator.
bool module_folder(std::u16string& out);
// 0 the Windows folder, 1 the system folder, ending in a separator; false
// where the system has none.
bool system_folder(int which, std::u16string& out);
// Renames or moves a folder within its volume; never copies across volumes
// (err kNotSameDevice) and never replaces an existing target.
bool rename(const std::u16string& from, const std::u16string& to, std::uint32_t& err);

// Bytes of the files in a folder, and with `recurse` in every folder below
// it. Linked folders are not followed. A folder that cannot be listed ends
// the walk: `where` names it.
bool content_bytes(const std::u16string& folder, bool recurse, std::uint64_t& bytes, std::u16string& where,
                   std::uint32_t& err);

}  // namespace orv::platform::folders
