// Platform-free reading of program headers: what kind of program a file is,
// and the version resource of a Windows program or DLL. Every offset and
// size comes from the file, so each is checked before it is followed.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orv::files {

// Reads n bytes at an offset of the file; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t n, std::uint8_t* out)>;

enum class ExeType : int {
  none = 0,
  dos = 1,
  win16 = 2,
  gui32 = 3,
  console32 = 4,
  gui64 = 5,
  console64 = 6,
};

ExeType exe_type(const ReadAt& read);

struct VersionTable {
  std::u16string language;   // as in the resource: 4 hex digits of language, 4 of code page
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

struct VersionInfo {
  bool hasFixed = false;
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::uint16_t productVersion[4] = {0, 0, 0, 0};
  std::vector<VersionTable> tables;
};

// The version resource of a 32- or 64-bit program; nullopt when there is none.
std::optional<VersionInfo> version_info(const ReadAt& read);

// The resource block itself, for tests and the fuzz target.
std::optional<VersionInfo> parse_version_block(const std::uint8_t* p, std::size_t n);

// A reader over bytes in memory.
ReadAt bytes_reader(const std::vector<std::uint8_t>& bytes);

}  // namespace orv::files
