// Path forms the wide file services of the Win32 back end share.
#pragma once
#include <string>

#include <windows.h>

namespace orv::platform::win32 {

// Paths past the classic limit need the extended-length prefix.
inline std::wstring os_path(const std::u16string& p) {
  std::wstring w(p.begin(), p.end());
  if (w.size() < MAX_PATH - 12 || w.rfind(L"\\\\?\\", 0) == 0) return w;
  if (w.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + w.substr(2);
  return L"\\\\?\\" + w;
}

// A call that may touch a removable drive shows no "insert a disk" box.
struct NoErrorBoxes {
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ~NoErrorBoxes() { SetErrorMode(old); }
  NoErrorBoxes() = default;
  NoErrorBoxes(const NoErrorBoxes&) = delete;
  NoErrorBoxes& operator=(const NoErrorBoxes&) = delete;
};

}  // namespace orv::platform::win32
