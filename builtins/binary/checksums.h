// Checksums and compression of byte ranges, apart from the handlers so that
// tests and the exported entry points reach them directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orv::binary {

std::uint16_t crc16(const std::uint8_t* p, std::size_t n);
std::uint32_t crc32_of(const std::uint8_t* p, std::size_t n);
// The text BinaryChecksum returns for a request (0 MD5, 1 CRC-16, 2 CRC-32,
// 3 SHA-1, 4 SHA-256); false for other requests or a missing service.
bool checksum_text(int request, const std::uint8_t* p, std::size_t n, std::string& out);

// zlib streams. Each returns the output length, or -1 when the input is not a
// valid stream or the output does not fit in `capacity` bytes. `out` is
// written only on success, and may overlap `in`.
std::int64_t compress_bytes(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t capacity, int level);
std::int64_t uncompress_bytes(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t capacity);

}  // namespace orv::binary
