// Files read and written as raw bytes at 64-bit offsets, for the binary
// buffers. One open file per object, closed by the destructor.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orv::platform {

class ByteFile {
 public:
  enum class Mode { read, create_truncate, open_or_create };
  ByteFile() = default;
  ~ByteFile();
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  bool open(std::u16string_view path, Mode mode);
  std::int64_t size();               // -1 on failure
  bool seek(std::int64_t offset);
  bool read(void* out, std::size_t n);          // exactly n bytes
  bool write(const void* data, std::size_t n);  // exactly n bytes
  bool truncate_here();              // the file ends at the current position

 private:
  void* handle_ = nullptr;           // system handle, or a descriptor + 1
};

}  // namespace orv::platform
