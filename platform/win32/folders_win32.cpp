// Win32 back end of the folder services.
#include "platform/folders.h"

#include <windows.h>

#include <vector>

#include "platform/win32/os_path_win32.h"

namespace orv::platform::folders {
namespace {

using win32::os_path;

std::u16string to_u16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

void end_with_separator(std::u16string& s) {
  if (!s.empty() && s.back() != u'\\' && s.back() != u'/') s += u'\\';
}

// Asks a "size, then fill" service until the buffer is large enough.
template <typename Fill>
bool sized_text(Fill fill, std::wstring& out) {
  DWORD room = MAX_PATH + 1;
  for (int tries = 0; tries < 4; ++tries) {
    out.assign(room, L'\0');
    const DWORD n = fill(out.data(), room);
    if (n == 0) return false;
    if (n < room) {
      out.resize(n);
      return true;
    }
    room = n + 1;
  }
  return false;
}

bool read_current(std::wstring& out) {
  return sized_text([](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); }, out);
}

// The command interpreters' convention: "=X:" holds drive X's current folder,
// and drive-relative paths ("X:", "X:name") start from it.
void remember_drive_folder() {
  std::wstring cwd;
  if (!read_current(cwd) || cwd.size() < 2 || cwd[1] != L':') return;
  const wchar_t letter = (cwd[0] >= L'a' && cwd[0] <= L'z') ? static_cast<wchar_t>(cwd[0] - 32) : cwd[0];
  const wchar_t name[] = {L'=', letter, L':', 0};
  SetEnvironmentVariableW(name, cwd.c_str());
}

std::wstring joined(const std::wstring& folder, const wchar_t* name) {
  std::wstring out = folder;
  if (!out.empty() && out.back() != L'\\') out += L'\\';
  return out + name;
}

// The root of the volume that holds a path (for a path that does not exist
// yet, of its folder).
bool volume_of(const std::u16string& path, std::wstring& out) {
  std::wstring w(path.begin(), path.end());
  wchar_t root[MAX_PATH + 1];
  if (GetFileAttributesW(os_path(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
    const auto cut = w.find_last_of(L'\\');
    if (cut != std::wstring::npos) w.resize(cut + 1);
  }
  if (!GetVolumePathNameW(w.c_str(), root, MAX_PATH + 1)) return false;
  out = root;
  for (auto& ch : out)
    if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - 32);
  return true;
}

struct FindHandle {
  HANDLE h;
  ~FindHandle() {
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
};

}  // namespace

bool current(std::u16string& out) {
  std::wstring w;
  if (!read_current(w)) return false;
  out = to_u16(w);
  end_with_separator(out);
  return true;
}

bool change(const std::u16string& path, std::uint32_t& err) {
  remember_drive_folder();
  const std::wstring w(path.begin(), path.end());
  if (!SetCurrentDirectoryW(w.c_str())) {
    err = GetLastError();
    return false;
  }
  remember_drive_folder();
  return true;
}

bool module_folder(std::u16string& out) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&module_folder), &self))
    return false;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return false;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return false;
    path.resize(path.size() * 2);
  }
  const auto cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return false;
  out = to_u16(path.substr(0, cut + 1));
  return true;
}

bool system_folder(int which, std::u16string& out) {
  std::wstring w;
  const bool ok = which == 0 ? sized_text([](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); }, w)
                             : sized_text([](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); }, w);
  if (!ok) return false;
  out = to_u16(w);
  end_with_separator(out);
  return true;
}

bool rename(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  win32::NoErrorBoxes quiet;
  // Two drive letters can stand for one file system (under a compatibility
  // layer they often do): the script's view, the volume root, decides.
  std::wstring a, b;
  if (volume_of(from, a) && volume_of(to, b) && a != b) {
    err = kNotSameDevice;
    return false;
  }
  const std::wstring source = os_path(from), target = os_path(to);
  // A change of letter case alone goes through a passing name: some file
  // systems take the new name for the folder itself and keep the old case.
  if (source != target &&
      CompareStringOrdinal(source.c_str(), -1, target.c_str(), -1, TRUE) == CSTR_EQUAL) {
    const std::wstring passing = source + L".orv-case-" + std::to_wstring(GetCurrentProcessId());
    if (!MoveFileExW(source.c_str(), passing.c_str(), 0)) {
      err = GetLastError();
      return false;
    }
    if (MoveFileExW(passing.c_str(), target.c_str(), 0)) return true;
    err = GetLastError();
    MoveFileExW(passing.c_str(), source.c_str(), 0);
    return false;
  }
  if (!MoveFileExW(source.c_str(), target.c_str(), 0)) {
    err = GetLastError();
    return false;
  }
  return true;
}

bool content_bytes(const std::u16string& folder, bool recurse, std::uint64_t& bytes, std::u16string& where,
                   std::uint32_t& err) {
  win32::NoErrorBoxes quiet;
  bytes = 0;
  std::vector<std::wstring> pending{std::wstring(folder.begin(), folder.end())};
  while (!pending.empty()) {
    const std::wstring dir = std::move(pending.back());
    pending.pop_back();
    const std::wstring pattern = joined(dir, L"*");
    WIN32_FIND_DATAW data;
    FindHandle found{FindFirstFileExW(os_path(to_u16(pattern)).c_str(), FindExInfoBasic, &data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH)};
    if (found.h == INVALID_HANDLE_VALUE) {
      err = GetLastError();
      if (err == ERROR_FILE_NOT_FOUND) continue;   // an empty root
      where = to_u16(dir);
      return false;
    }
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // Linked folders may lead back up the tree or off the volume.
        if (recurse && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) pending.push_back(joined(dir, name.c_str()));
        continue;
      }
      bytes += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileW(found.h, &data));
  }
  return true;
}

}  // namespace orv::platform::folders
