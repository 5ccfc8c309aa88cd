#include "desktop/icon_file.h"

namespace orv::desktop {
namespace {

constexpr std::size_t kHeaderSize = 6, kFileEntrySize = 16, kGroupEntrySize = 14;
constexpr std::uint16_t kIconType = 1;

std::uint16_t u16_at(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t u32_at(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(u16_at(b, at)) | static_cast<std::uint32_t>(u16_at(b, at + 2)) << 16;
}
void put_u16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put_u32(std::string& out, std::uint32_t v) {
  put_u16(out, v & 0xFFFF);
  put_u16(out, v >> 16);
}

// The header both forms share; the count when it is an icon directory of
// `entrySize` entries that fit in the bytes.
std::optional<std::size_t> entry_count(std::string_view b, std::size_t entrySize) {
  if (b.size() < kHeaderSize || u16_at(b, 0) != 0 || u16_at(b, 2) != kIconType) return std::nullopt;
  const std::size_t count = u16_at(b, 4);
  if (count == 0 || b.size() < kHeaderSize + count * entrySize) return std::nullopt;
  return count;
}

IconImage entry_at(std::string_view b, std::size_t at) {
  IconImage e;
  e.width = static_cast<std::uint8_t>(b[at]);
  e.height = static_cast<std::uint8_t>(b[at + 1]);
  e.colours = static_cast<std::uint8_t>(b[at + 2]);
  e.planes = u16_at(b, at + 4);
  e.bitCount = u16_at(b, at + 6);
  return e;
}

void put_entry_start(std::string& out, const IconImage& e, std::uint32_t size) {
  out += static_cast<char>(e.width);
  out += static_cast<char>(e.height);
  out += static_cast<char>(e.colours);
  out += '\0';
  put_u16(out, e.planes);
  put_u16(out, e.bitCount);
  put_u32(out, size);
}

void put_header(std::string& out, std::size_t count) {
  put_u16(out, 0);
  put_u16(out, kIconType);
  put_u16(out, static_cast<std::uint32_t>(count));
}

}  // namespace

std::optional<std::vector<IconImage>> read_icon_file(std::string_view b) {
  const std::optional<std::size_t> count = entry_count(b, kFileEntrySize);
  if (!count) return std::nullopt;
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < *count; ++i) {
    const std::size_t at = kHeaderSize + i * kFileEntrySize;
    IconImage e = entry_at(b, at);
    const std::uint32_t size = u32_at(b, at + 8), offset = u32_at(b, at + 12);
    if (size == 0 || offset > b.size() || size > b.size() - offset) return std::nullopt;
    e.bytes.assign(b.substr(offset, size));
    images.push_back(std::move(e));
  }
  return images;
}

std::string write_icon_file(const std::vector<IconImage>& images) {
  std::string out;
  put_header(out, images.size());
  std::uint32_t offset = static_cast<std::uint32_t>(kHeaderSize + images.size() * kFileEntrySize);
  for (const IconImage& e : images) {
    put_entry_start(out, e, static_cast<std::uint32_t>(e.bytes.size()));
    put_u32(out, offset);
    offset += static_cast<std::uint32_t>(e.bytes.size());
  }
  for (const IconImage& e : images) out += e.bytes;
  return out;
}

std::optional<std::vector<IconImage>> read_icon_group(std::string_view b) {
  const std::optional<std::size_t> count = entry_count(b, kGroupEntrySize);
  if (!count) return std::nullopt;
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < *count; ++i) {
    const std::size_t at = kHeaderSize + i * kGroupEntrySize;
    IconImage e = entry_at(b, at);
    e.resourceId = u16_at(b, at + 12);
    images.push_back(std::move(e));
  }
  return images;
}

std::string write_icon_group(const std::vector<IconImage>& images) {
  std::string out;
  put_header(out, images.size());
  for (const IconImage& e : images) {
    put_entry_start(out, e, static_cast<std::uint32_t>(e.bytes.size()));
    put_u16(out, e.resourceId);
  }
  return out;
}

std::string describe_images(const std::vector<IconImage>& images) {
  std::string out;
  for (const IconImage& e : images) {
    if (!out.empty()) out += '\t';
    out += std::to_string(e.width ? e.width : 256) + "x" + std::to_string(e.height ? e.height : 256) + "x" +
           std::to_string(e.bitCount);
  }
  return out;
}

}  // namespace orv::desktop
