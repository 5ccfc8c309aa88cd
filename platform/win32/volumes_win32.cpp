// Win32 back end of the drive and volume services.
#include "platform/volumes.h"

#include <windows.h>

#include "platform/win32/os_path_win32.h"

namespace orv::platform::volumes {

std::uint32_t drive_mask() { return GetLogicalDrives(); }

unsigned kind_of(const std::u16string& root) {
  const std::wstring w(root.begin(), root.end());
  switch (GetDriveTypeW(w.c_str())) {
    case DRIVE_REMOVABLE: return kRemovable;
    case DRIVE_FIXED: return kFixed;
    case DRIVE_REMOTE: return kNetwork;
    case DRIVE_CDROM: return kCdRom;
    case DRIVE_RAMDISK: return kRamDisk;
    default: return 0;
  }
}

bool space(const std::u16string& root, std::uint64_t& freeToCaller, std::uint64_t& total, std::uint32_t& err) {
  win32::NoErrorBoxes quiet;
  const std::wstring w(root.begin(), root.end());
  ULARGE_INTEGER avail{}, size{}, free{};
  if (!GetDiskFreeSpaceExW(w.c_str(), &avail, &size, &free)) {
    err = GetLastError();
    return false;
  }
  freeToCaller = avail.QuadPart;
  total = size.QuadPart;
  return true;
}

bool geometry(const std::u16string& root, Geometry& out, std::uint32_t& err) {
  win32::NoErrorBoxes quiet;
  const std::wstring w(root.begin(), root.end());
  DWORD spc = 0, bps = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(w.c_str(), &spc, &bps, &freeClusters, &clusters)) {
    err = GetLastError();
    return false;
  }
  out = {spc, bps, freeClusters, clusters};
  return true;
}

bool facts(const std::u16string& root, Facts& out, std::uint32_t& err) {
  win32::NoErrorBoxes quiet;
  const std::wstring w(root.begin(), root.end());
  wchar_t label[MAX_PATH + 1] = {}, fileSystem[MAX_PATH + 1] = {};
  DWORD serial = 0, longest = 0, flags = 0;
  if (!GetVolumeInformationW(w.c_str(), label, MAX_PATH + 1, &serial, &longest, &flags, fileSystem, MAX_PATH + 1)) {
    err = GetLastError();
    return false;
  }
  const std::wstring l(label), f(fileSystem);
  out.label.assign(l.begin(), l.end());
  out.fileSystem.assign(f.begin(), f.end());
  out.serial = serial;
  out.longestName = longest;
  out.flags = flags;
  return true;
}

}  // namespace orv::platform::volumes
