#include <windows.h>

#include <string>
#include "platform/byte_files.h"

namespace orv::platform {

ByteFile::~ByteFile() {
  if (handle_) CloseHandle(handle_);
}

bool ByteFile::open(std::u16string_view path, Mode mode) {
  if (path.empty()) return false;
  const std::wstring name(path.begin(), path.end());
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE, disposition = OPEN_EXISTING;
  if (mode != Mode::read) {
    access = GENERIC_READ | GENERIC_WRITE;
    share = FILE_SHARE_READ;
    disposition = mode == Mode::create_truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
  }
  HANDLE h = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

std::int64_t ByteFile::size() {
  LARGE_INTEGER n{};
  if (!handle_ || !GetFileSizeEx(handle_, &n)) return -1;
  return n.QuadPart;
}

bool ByteFile::seek(std::int64_t offset) {
  LARGE_INTEGER to{};
  to.QuadPart = offset;
  return handle_ && SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN);
}

bool ByteFile::read(void* out, std::size_t n) {
  auto* p = static_cast<char*>(out);
  while (n > 0) {
    const DWORD want = n > 0x10000000u ? 0x10000000u : static_cast<DWORD>(n);
    DWORD got = 0;
    if (!ReadFile(handle_, p, want, &got, nullptr) || got == 0) return false;
    p += got;
    n -= got;
  }
  return true;
}

bool ByteFile::write(const void* data, std::size_t n) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const DWORD want = n > 0x10000000u ? 0x10000000u : static_cast<DWORD>(n);
    DWORD put = 0;
    if (!WriteFile(handle_, p, want, &put, nullptr) || put == 0) return false;
    p += put;
    n -= put;
  }
  return true;
}

bool ByteFile::truncate_here() { return SetEndOfFile(handle_) != 0; }

}  // namespace orv::platform
