#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include "platform/byte_files.h"
#include "platform/platform.h"

namespace orv::platform {
namespace {

int fd_of(void* h) { return static_cast<int>(reinterpret_cast<std::intptr_t>(h)) - 1; }

}  // namespace

ByteFile::~ByteFile() {
  if (handle_) ::close(fd_of(handle_));
}

bool ByteFile::open(std::u16string_view path, Mode mode) {
  std::string name;
  if (!utf16_to_ansi(path, name) || name.empty()) return false;
  int flags = O_RDONLY;
  if (mode == Mode::create_truncate) flags = O_RDWR | O_CREAT | O_TRUNC;
  if (mode == Mode::open_or_create) flags = O_RDWR | O_CREAT;
  const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
  return true;
}

std::int64_t ByteFile::size() {
  struct stat st{};
  if (!handle_ || ::fstat(fd_of(handle_), &st) != 0) return -1;
  return st.st_size;
}

bool ByteFile::seek(std::int64_t offset) {
  return handle_ && ::lseek(fd_of(handle_), static_cast<off_t>(offset), SEEK_SET) == offset;
}

bool ByteFile::read(void* out, std::size_t n) {
  auto* p = static_cast<char*>(out);
  while (n > 0) {
    const ssize_t got = ::read(fd_of(handle_), p, n);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

bool ByteFile::write(const void* data, std::size_t n) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t put = ::write(fd_of(handle_), p, n);
    if (put <= 0) return false;
    p += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

bool ByteFile::truncate_here() {
  const off_t at = ::lseek(fd_of(handle_), 0, SEEK_CUR);
  return at >= 0 && ::ftruncate(fd_of(handle_), at) == 0;
}

}  // namespace orv::platform
