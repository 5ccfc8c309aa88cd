// The file-list clipboard block (the one a file manager puts there when files
// are copied): a 20-byte header whose first word is the offset of the names,
// and whose last word says whether they are UTF-16; each name ends with a
// NUL, and an empty name ends the list. The block comes from another program,
// so every offset in it is checked against its size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::clip {

inline constexpr std::size_t kFileListHeader = 20;

// The names of a file-list block; nothing when the block is damaged (names
// outside it, a name or the list without its end).
std::optional<std::vector<std::u16string>> decode_file_list(const std::uint8_t* block, std::size_t size);

// A UTF-16 file-list block holding the names.
std::vector<std::uint8_t> encode_file_list(const std::vector<std::u16string>& names);

}  // namespace orv::clip
