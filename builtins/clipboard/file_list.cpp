#include "builtins/clipboard/file_list.h"

#include "platform/platform.h"

namespace orv::clip {
namespace {

std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

}  // namespace

std::optional<std::vector<std::u16string>> decode_file_list(const std::uint8_t* block, std::size_t size) {
  if (!block || size < kFileListHeader) return std::nullopt;
  const std::size_t start = read_u32(block);
  const bool wide = read_u32(block + 16) != 0;
  if (start < kFileListHeader || start > size) return std::nullopt;
  std::vector<std::u16string> names;
  std::size_t at = start;
  const std::size_t unit = wide ? 2 : 1;
  for (;;) {
    std::u16string name;
    std::string ansi;
    for (;;) {
      if (at + unit > size) return std::nullopt;   // no terminator inside the block
      const std::uint16_t ch = wide ? static_cast<std::uint16_t>(block[at] | block[at + 1] << 8) : block[at];
      at += unit;
      if (ch == 0) break;
      if (wide) name.push_back(static_cast<char16_t>(ch));
      else ansi.push_back(static_cast<char>(ch));
    }
    if (!wide && !ansi.empty() && !platform::ansi_to_utf16(ansi, name)) return std::nullopt;
    if (name.empty()) return names;
    names.push_back(std::move(name));
  }
}

std::vector<std::uint8_t> encode_file_list(const std::vector<std::u16string>& names) {
  std::vector<std::uint8_t> out;
  put_u32(out, kFileListHeader);
  for (int k = 0; k < 3; ++k) put_u32(out, 0);   // drop point and its kind: unused
  put_u32(out, 1);                               // UTF-16 names
  auto put_unit = [&](char16_t ch) {
    out.push_back(static_cast<std::uint8_t>(ch & 0xFF));
    out.push_back(static_cast<std::uint8_t>(ch >> 8));
  };
  for (const std::u16string& name : names) {
    for (char16_t ch : name) put_unit(ch);
    put_unit(0);
  }
  put_unit(0);
  return out;
}

}  // namespace orv::clip
