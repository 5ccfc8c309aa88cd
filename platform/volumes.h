// Drives and volumes: which drive letters exist, their kinds, their space,
// geometry and volume facts. Roots are "X:\" or "\\server\share\".
// Functions that fail return false and put the system's error code in `err`.
#pragma once
#include <cstdint>
#include <string>

namespace orv::platform::volumes {

inline constexpr std::uint32_t kInvalidDrive = 15;

// Kind bits, as scripts ask for them.
inline constexpr unsigned kRemovable = 1, kFixed = 2, kNetwork = 4, kCdRom = 8, kRamDisk = 16;

// Bit 0 for A: to bit 25 for Z:.
std::uint32_t drive_mask();
// The kind bit of a drive's root, 0 when unknown.
unsigned kind_of(const std::u16string& root);

bool space(const std::u16string& root, std::uint64_t& freeToCaller, std::uint64_t& total, std::uint32_t& err);

struct Geometry {
  std::uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
};
bool geometry(const std::u16string& root, Geometry& out, std::uint32_t& err);

struct Facts {
  std::u16string label, fileSystem;
  std::uint32_t serial = 0, longestName = 0, flags = 0;
};
bool facts(const std::u16string& root, Facts& out, std::uint32_t& err);

}  // namespace orv::platform::volumes
