// The profile-file service the INI built-ins stand on: the system's own on
// Windows, a file of our own elsewhere. An empty file name means WIN.INI; a
// name without a folder lives in the system's Windows folder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orv::ini {

using Name = std::optional<std::string>;   // nullopt: the API's null argument

// The value, or `fallback`, at most size - 1 characters. A null key lists the
// section's keys, a null section the sections, as names each followed by NUL.
std::string profile_read(const std::string& file, const Name& section, const Name& key, const std::string& fallback,
                         std::size_t size);
// A null value deletes the key, a null key the section; all null flushes.
// Returns the service's result (non-zero on success).
int profile_write(const std::string& file, const Name& section, const Name& key, const Name& value);
// The size of the file in bytes, 0 when it does not exist.
std::uint64_t profile_file_size(const std::string& file);
// Tells the other programs that a section of WIN.INI changed.
void profile_changed(const std::string& section);

}  // namespace orv::ini
