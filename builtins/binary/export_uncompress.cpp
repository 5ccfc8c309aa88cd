// UncompressBuffer: decompresses a zlib stream in place for hosts and
// extenders. `buffer` holds `size` compressed bytes in a block of `capacity`
// bytes; the result is the uncompressed length, or -1 (buffer unchanged) when
// the stream is invalid or its data does not fit.
#include "builtins/binary/checksums.h"
#include "api/orv_api.h"

ORV_EXPORT int ORV_CALL UncompressBuffer(void* buffer, int size, int capacity) {
  if (!buffer || size < 0 || capacity < size) return -1;
  auto* p = static_cast<std::uint8_t*>(buffer);
  return static_cast<int>(orv::binary::uncompress_bytes(p, static_cast<std::size_t>(size), p,
                                                         static_cast<std::size_t>(capacity)));
}
