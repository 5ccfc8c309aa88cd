// Win32 back end of the file services: wide API calls, long paths through the
// "\\?\" prefix, critical-error boxes suppressed around each call that may
// touch a removable drive.
#include "platform/files.h"

#include <windows.h>

#include "platform/win32/os_path_win32.h"

namespace orv::platform::files {
namespace {

constexpr std::size_t kMaxPath = 32767;

using win32::NoErrorBoxes;
using win32::os_path;

HANDLE as_handle(FileHandle h) { return reinterpret_cast<HANDLE>(h); }

// Read-only files refuse writing even where the OS would let an
// administrator through (Wine running as root), so no script truncates one.
bool read_only(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool fail_with(std::uint32_t& err) {
  err = GetLastError();
  return false;
}

}  // namespace

FileHandle open(const std::u16string& path, Open how, std::uint32_t& err) {
  NoErrorBoxes quiet;
  DWORD access = GENERIC_WRITE, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (how) {
    case Open::read: access = GENERIC_READ; share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case Open::create_always: disposition = CREATE_ALWAYS; break;
    case Open::open_always: disposition = OPEN_ALWAYS; break;
    case Open::open_existing_write: break;
    case Open::create_new: disposition = CREATE_NEW; break;
  }
  const std::wstring p = os_path(path);
  if (how != Open::read && read_only(p)) {
    err = ERROR_ACCESS_DENIED;
    return 0;
  }
  HANDLE h = CreateFileW(p.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    err = GetLastError();
    return 0;
  }
  return reinterpret_cast<FileHandle>(h);
}

void close(FileHandle h) {
  if (h) CloseHandle(as_handle(h));
}

bool read(FileHandle h, void* buffer, std::size_t n, std::size_t& got, std::uint32_t& err) {
  DWORD done = 0;
  if (!ReadFile(as_handle(h), buffer, static_cast<DWORD>(n), &done, nullptr)) return fail_with(err);
  got = done;
  return true;
}

bool write(FileHandle h, const void* data, std::size_t n, std::uint32_t& err) {
  DWORD done = 0;
  if (!WriteFile(as_handle(h), data, static_cast<DWORD>(n), &done, nullptr)) return fail_with(err);
  if (done != n) {
    err = ERROR_DISK_FULL;
    return false;
  }
  return true;
}

bool seek_to(FileHandle h, std::uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(as_handle(h), to, nullptr, FILE_BEGIN) != 0;
}

bool seek_end(FileHandle h, std::uint64_t& size) {
  LARGE_INTEGER zero{}, at{};
  if (!SetFilePointerEx(as_handle(h), zero, &at, FILE_END)) return false;
  size = static_cast<std::uint64_t>(at.QuadPart);
  return true;
}

std::uint64_t position(FileHandle h) {
  LARGE_INTEGER zero{}, at{};
  SetFilePointerEx(as_handle(h), zero, &at, FILE_CURRENT);
  return static_cast<std::uint64_t>(at.QuadPart);
}

bool truncate_here(FileHandle h) { return SetEndOfFile(as_handle(h)) != 0; }

std::uint64_t size_of(FileHandle h) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(as_handle(h), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool identity(FileHandle h, FileIdentity& out) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(as_handle(h), &info)) return false;
  out = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

FileHandle duplicate(FileHandle h) {
  HANDLE out = nullptr;
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, as_handle(h), self, &out, 0, FALSE, DUPLICATE_SAME_ACCESS)) return 0;
  return reinterpret_cast<FileHandle>(out);
}

bool full_path(const std::u16string& path, std::u16string& out) {
  if (path.empty() || path.size() >= kMaxPath) return false;
  std::wstring in(path.begin(), path.end());
  // Sized to the answer: a buffer of 64 KB or more is too large for the
  // system's own string records (a drive-relative "D:" then reads garbage).
  std::wstring buffer(MAX_PATH + 1, L'\0');
  DWORD n = GetFullPathNameW(in.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (n >= buffer.size() && n < kMaxPath) {
    buffer.assign(n + 1, L'\0');
    n = GetFullPathNameW(in.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (n == 0 || n >= buffer.size()) return false;
  out.assign(buffer.begin(), buffer.begin() + n);
  return true;
}

char16_t separator() { return u'\\'; }

namespace {

// Undoes what os_path added for long paths, so scripts get their own form back.
std::u16string without_long_prefix(const std::wstring& w) {
  std::u16string out(w.begin(), w.end());
  if (out.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\" + out.substr(7);
  if (out.rfind(u"\\\\?\\", 0) == 0) return out.substr(4);
  return out;
}

using PathConverter = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

bool convert_path(PathConverter convert, const std::u16string& path, std::u16string& out) {
  NoErrorBoxes quiet;
  const std::wstring in = os_path(path);
  std::wstring buffer(kMaxPath + 1, L'\0');
  const DWORD n = convert(in.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return false;
  buffer.resize(n);
  out = without_long_prefix(buffer);
  return true;
}

}  // namespace

bool long_name(const std::u16string& path, std::u16string& out) { return convert_path(GetLongPathNameW, path, out); }

bool short_name(const std::u16string& path, std::u16string& out) { return convert_path(GetShortPathNameW, path, out); }

bool find(const std::u16string& pattern, std::vector<Entry>& out, std::uint32_t& err) {
  NoErrorBoxes quiet;
  out.clear();
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(os_path(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES;
  }
  do {
    std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
    if (name == u"." || name == u"..") continue;
    out.push_back({std::move(name), data.dwFileAttributes});
  } while (FindNextFileW(h, &data));
  FindClose(h);
  return true;
}

std::uint32_t attributes(const std::u16string& path) {
  NoErrorBoxes quiet;
  return GetFileAttributesW(os_path(path).c_str());
}

bool set_attributes(const std::u16string& path, std::uint32_t attributes, std::uint32_t& err) {
  if (!SetFileAttributesW(os_path(path).c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL)) return fail_with(err);
  return true;
}

bool copy(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  NoErrorBoxes quiet;
  return CopyFileW(os_path(from).c_str(), os_path(to).c_str(), FALSE) ? true : fail_with(err);
}

bool move(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  NoErrorBoxes quiet;
  return MoveFileExW(os_path(from).c_str(), os_path(to).c_str(), MOVEFILE_COPY_ALLOWED) ? true : fail_with(err);
}

bool replace(const std::u16string& from, const std::u16string& to, std::uint32_t& err) {
  NoErrorBoxes quiet;
  return MoveFileExW(os_path(from).c_str(), os_path(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? true
             : fail_with(err);
}

bool remove(const std::u16string& path, std::uint32_t& err) {
  NoErrorBoxes quiet;
  return DeleteFileW(os_path(path).c_str()) ? true : fail_with(err);
}

bool make_folder(const std::u16string& path, std::uint32_t& err) {
  return CreateDirectoryW(os_path(path).c_str(), nullptr) ? true : fail_with(err);
}

bool remove_folder(const std::u16string& path, std::uint32_t& err) {
  return RemoveDirectoryW(os_path(path).c_str()) ? true : fail_with(err);
}

bool free_space(const std::u16string& path, std::uint64_t& bytes) {
  NoErrorBoxes quiet;
  std::wstring w(path.begin(), path.end());
  const auto cut = w.find_last_of(L'\\');
  if (cut != std::wstring::npos) w.resize(cut + 1);
  ULARGE_INTEGER avail{};
  if (!GetDiskFreeSpaceExW(w.c_str(), &avail, nullptr, nullptr)) return false;
  bytes = avail.QuadPart;
  return true;
}

bool same_file(const std::u16string& a, const std::u16string& b) {
  auto info = [](const std::u16string& p, BY_HANDLE_FILE_INFORMATION& out) {
    HANDLE h = CreateFileW(os_path(p).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &out) != 0;
    CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  if (!info(a, x) || !info(b, y)) return false;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

bool get_time(const std::u16string& path, int selector, LocalTime& out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(os_path(path).c_str(), GetFileExInfoStandard, &data)) return false;
  const FILETIME& utc = selector == 1 ? data.ftCreationTime : selector == 3 ? data.ftLastAccessTime : data.ftLastWriteTime;
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  out = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  return true;
}

bool set_time(const std::u16string& path, int selector, const LocalTime& t, std::uint32_t& err) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) {
    err = 0;
    return false;
  }
  NoErrorBoxes quiet;
  if (read_only(os_path(path))) {
    err = ERROR_ACCESS_DENIED;
    return false;
  }
  HANDLE h = CreateFileW(os_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail_with(err);
  FILETIME* slot = &utc;
  const BOOL ok = selector == 1 ? SetFileTime(h, slot, nullptr, nullptr)
                  : selector == 3 ? SetFileTime(h, nullptr, slot, nullptr)
                                  : SetFileTime(h, nullptr, nullptr, slot);
  if (!ok) err = GetLastError();
  CloseHandle(h);
  return ok != 0;
}

namespace {

bool local_time_of(const FILETIME& utc, LocalTime& out) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return false;
  out = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  return true;
}

}  // namespace

bool facts(const std::u16string& path, Facts& out) {
  NoErrorBoxes quiet;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(os_path(path).c_str(), GetFileExInfoStandard, &data)) return false;
  out.attributes = data.dwFileAttributes;
  out.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? 0
                 : (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return local_time_of(data.ftCreationTime, out.created) && local_time_of(data.ftLastAccessTime, out.accessed) &&
         local_time_of(data.ftLastWriteTime, out.written);
}

bool temp_folder(std::u16string& out) {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH + 1) return false;
  out.assign(buffer, buffer + n);
  if (out.back() != u'\\') out += u'\\';
  return true;
}

bool in_use(const std::u16string& path) {
  NoErrorBoxes quiet;
  HANDLE h = CreateFileW(os_path(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  const DWORD err = GetLastError();
  return err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION;
}

std::string error_text(std::uint32_t err) {
  char buffer[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, buffer,
                           sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "Windows error " + std::to_string(err);
  return text;
}

}  // namespace orv::platform::files
