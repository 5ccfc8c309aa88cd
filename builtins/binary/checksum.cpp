// BinaryChecksum: MD5, CRC-16, CRC-32, SHA-1 and SHA-256 of the data.
#include <array>
#include <cctype>
#include <cstdio>
#include <vector>
#include <zlib.h>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/checksums.h"
#include "builtins/binary/hex.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/digest.h"

namespace orv::binary {

std::uint16_t crc16(const std::uint8_t* p, std::size_t n) {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
      t[i] = static_cast<std::uint16_t>(c);
    }
    return t;
  }();
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < n; ++i) crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ p[i]) & 0xFF]);
  return crc;
}

std::uint32_t crc32_of(const std::uint8_t* p, std::size_t n) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes 32-bit lengths on some targets; feed it in slices.
  while (n > 0) {
    const uInt chunk = n > 0x40000000u ? 0x40000000u : static_cast<uInt>(n);
    crc = crc32(crc, p, chunk);
    p += chunk;
    n -= chunk;
  }
  return static_cast<std::uint32_t>(crc);
}

bool checksum_text(int request, const std::uint8_t* p, std::size_t n, std::string& out) {
  char buf[16];
  std::vector<std::uint8_t> d;
  switch (request) {
    case 1: std::snprintf(buf, sizeof buf, "%04x", crc16(p, n)); out = buf; return true;
    case 2: std::snprintf(buf, sizeof buf, "%08lx", static_cast<unsigned long>(crc32_of(p, n))); out = buf; return true;
    case 0: {
      if (!platform::digest(platform::DigestKind::md5, p, n, d)) return false;
      std::string hex(32, '\0');
      hex_encode(d.data(), d.size(), hex.data());
      out.clear();
      for (std::size_t g = 0; g < 4; ++g) {
        if (g) out.push_back('-');
        for (std::size_t i = 0; i < 8; ++i) out.push_back(static_cast<char>(std::tolower(hex[g * 8 + i])));
      }
      return true;
    }
    case 3:
    case 4:
      if (!platform::digest(request == 3 ? platform::DigestKind::sha1 : platform::DigestKind::sha256, p, n, d)) return false;
      out.assign(d.size() * 2, '\0');
      hex_encode(d.data(), d.size(), out.data());
      return true;
    default: return false;
  }
}

namespace {

void binary_checksum(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  std::string text;
  if (!checksum_text(arg_int(call, 2), b->data, static_cast<std::size_t>(b->eod), text)) { fail(call.c, errs::kChecksumBadRequest); return; }
  set_string(call, text);
}

}  // namespace

void register_checksum(HandlerTable& t) { t.add(kw::fn_binarychecksum, binary_checksum); }

}  // namespace orv::binary
