// The profile service on Windows: the system's profile functions.
#include <windows.h>

#include <vector>

#include "builtins/ini/profile.h"

namespace orv::ini {
namespace {

const char* arg(const Name& n) { return n ? n->c_str() : nullptr; }

}  // namespace

std::string profile_read(const std::string& file, const Name& section, const Name& key, const std::string& fallback,
                         std::size_t size) {
  std::vector<char> buffer(size + 2, '\0');
  const DWORD n = file.empty()
                      ? GetProfileStringA(arg(section), arg(key), fallback.c_str(), buffer.data(), static_cast<DWORD>(size))
                      : GetPrivateProfileStringA(arg(section), arg(key), fallback.c_str(), buffer.data(),
                                                 static_cast<DWORD>(size), file.c_str());
  // A list ends with two NULs; keep each name's own terminator.
  const bool list = !section || !key;
  return std::string(buffer.data(), n + (list && n > 0 && buffer[n - 1] != '\0' ? 1 : 0));
}

int profile_write(const std::string& file, const Name& section, const Name& key, const Name& value) {
  return file.empty() ? WriteProfileStringA(arg(section), arg(key), arg(value))
                      : WritePrivateProfileStringA(arg(section), arg(key), arg(value), file.c_str());
}

std::uint64_t profile_file_size(const std::string& file) {
  std::string path = file.empty() ? "win.ini" : file;
  if (path.find_first_of("\\/:") == std::string::npos) {
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, MAX_PATH);
    path = std::string(dir) + "\\" + path;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void profile_changed(const std::string& section) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(section.c_str()),
                      SMTO_ABORTIFHUNG, 1000, &ignored);
}

}  // namespace orv::ini
