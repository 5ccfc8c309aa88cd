#include "builtins/files/exe_headers.h"

#include <algorithm>
#include <cstring>

namespace orv::files {
namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
constexpr std::uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint16_t kConsoleSubsystem = 3;
constexpr std::uint32_t kVersionResource = 16;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::size_t kMaxSections = 96;          // the loader's own limit
constexpr std::size_t kMaxEntries = 4096;         // per resource directory
constexpr std::size_t kMaxVersionBlock = 0xFFFF;  // its length field has 16 bits
constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kUsEnglish = 0x409;
constexpr std::size_t kMaxLanguages = 64;   // each may be read, so keep the work bounded

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool read_u16(const ReadAt& read, std::uint64_t at, std::uint16_t& out) {
  std::uint8_t b[2];
  if (!read(at, 2, b)) return false;
  out = u16(b);
  return true;
}

bool read_u32(const ReadAt& read, std::uint64_t at, std::uint32_t& out) {
  std::uint8_t b[4];
  if (!read(at, 4, b)) return false;
  out = u32(b);
  return true;
}

// Where the PE headers start, or 0 when the file is no PE image.
struct PeHeaders {
  std::uint64_t fileHeader = 0, optional = 0;
  std::uint16_t magic = 0, optionalSize = 0, sections = 0;
};

// 0: no "MZ"; 1: "MZ" without a usable new header; 2: "NE"; 3: a PE image.
int probe(const ReadAt& read, PeHeaders& pe) {
  std::uint8_t dos[64];
  if (!read(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return 0;
  const std::uint64_t next = u32(dos + 0x3C);
  std::uint8_t sig[4];
  if (next < sizeof dos || !read(next, 4, sig)) return 1;
  if (sig[0] == 'N' && sig[1] == 'E') return 2;
  if (u32(sig) != kPeSignature) return 1;
  std::uint8_t fh[20];
  if (!read(next + 4, sizeof fh, fh)) return 1;
  pe.fileHeader = next + 4;
  pe.sections = u16(fh + 2);
  pe.optionalSize = u16(fh + 16);
  pe.optional = next + 24;
  if (!read_u16(read, pe.optional, pe.magic) || (pe.magic != kPe32 && pe.magic != kPe32Plus)) return 1;
  return 3;
}

std::uint64_t align4(std::uint64_t x) { return (x + 3) & ~std::uint64_t{3}; }

// The file offset of a relative virtual address, through the section table.
class Sections {
 public:
  bool load(const ReadAt& read, const PeHeaders& pe) {
    if (pe.sections == 0 || pe.sections > kMaxSections) return false;
    std::vector<std::uint8_t> table(std::size_t{pe.sections} * 40);
    if (!read(pe.optional + pe.optionalSize, table.size(), table.data())) return false;
    for (std::size_t i = 0; i < pe.sections; ++i) {
      const std::uint8_t* s = table.data() + i * 40;
      rows_.push_back({u32(s + 12), std::max(u32(s + 8), u32(s + 16)), u32(s + 20)});
    }
    return true;
  }
  bool offset_of(std::uint32_t rva, std::uint32_t n, std::uint64_t& out) const {
    for (const Row& r : rows_) {
      if (rva < r.va || rva - r.va >= r.size || n > r.size - (rva - r.va)) continue;
      out = std::uint64_t{r.raw} + (rva - r.va);
      return true;
    }
    return false;
  }

 private:
  struct Row {
    std::uint32_t va, size, raw;
  };
  std::vector<Row> rows_;
};

struct DirEntry {
  std::uint32_t name, data;
};

bool directory(const ReadAt& read, std::uint64_t at, std::vector<DirEntry>& out) {
  std::uint8_t head[16];
  if (!read(at, sizeof head, head)) return false;
  const std::size_t count = std::size_t{u16(head + 12)} + u16(head + 14);
  if (count == 0 || count > kMaxEntries) return false;
  std::vector<std::uint8_t> raw(count * 8);
  if (!read(at + 16, raw.size(), raw.data())) return false;
  out.clear();
  for (std::size_t i = 0; i < count; ++i) out.push_back({u32(raw.data() + i * 8), u32(raw.data() + i * 8 + 4)});
  return true;
}

// One block of the version resource: a length, a value, a key and children.
struct Block {
  std::uint64_t end = 0, value = 0, valueBytes = 0, children = 0;
  bool text = false;
  std::u16string key;
};

bool block_at(const std::uint8_t* p, std::uint64_t at, std::uint64_t limit, Block& b) {
  if (at + 6 > limit) return false;
  const std::uint16_t length = u16(p + at);
  if (length < 6 || at + length > limit) return false;
  b.end = at + length;
  const std::uint16_t valueLength = u16(p + at + 2);
  b.text = u16(p + at + 4) == 1;
  b.key.clear();
  std::uint64_t i = at + 6;
  for (; i + 2 <= b.end; i += 2) {
    const char16_t ch = u16(p + i);
    if (ch == 0) break;
    b.key += ch;
  }
  b.value = std::min(align4(i + 2), b.end);
  b.valueBytes = std::min<std::uint64_t>(b.text ? valueLength * 2ull : valueLength, b.end - b.value);
  b.children = std::min(align4(b.value + b.valueBytes), b.end);
  return true;
}

// Calls each(child) for the blocks inside [from, end).
template <class Each>
void for_children(const std::uint8_t* p, std::uint64_t from, std::uint64_t end, Each each) {
  Block child;
  for (std::uint64_t at = from; at < end && block_at(p, at, end, child); at = align4(child.end)) each(child);
}

std::u16string text_value(const std::uint8_t* p, const Block& b) {
  std::u16string out;
  // Some compilers count bytes where units are meant: read to the NUL instead.
  for (std::uint64_t i = b.value; i + 2 <= b.end; i += 2) {
    const char16_t ch = u16(p + i);
    if (ch == 0) break;
    out += ch;
  }
  return out;
}

bool same_ascii_case(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

ExeType exe_type(const ReadAt& read) {
  PeHeaders pe;
  switch (probe(read, pe)) {
    case 0: return ExeType::none;
    case 1: return ExeType::dos;
    case 2: return ExeType::win16;
    default: break;
  }
  std::uint16_t subsystem = 0;
  if (!read_u16(read, pe.optional + 68, subsystem)) return ExeType::dos;
  const bool console = subsystem == kConsoleSubsystem;
  if (pe.magic == kPe32Plus) return console ? ExeType::console64 : ExeType::gui64;
  return console ? ExeType::console32 : ExeType::gui32;
}

std::optional<VersionInfo> parse_version_block(const std::uint8_t* p, std::size_t n) {
  Block root;
  if (!block_at(p, 0, n, root) || root.key != u"VS_VERSION_INFO") return std::nullopt;
  VersionInfo info;
  if (root.valueBytes >= 52 && u32(p + root.value) == kFixedSignature) {
    const std::uint8_t* f = p + root.value;
    info.hasFixed = true;
    const std::uint32_t parts[4] = {u32(f + 8), u32(f + 12), u32(f + 16), u32(f + 20)};
    for (int k = 0; k < 2; ++k) {
      std::uint16_t* v = k == 0 ? info.fileVersion : info.productVersion;
      v[0] = static_cast<std::uint16_t>(parts[k * 2] >> 16);
      v[1] = static_cast<std::uint16_t>(parts[k * 2] & 0xFFFF);
      v[2] = static_cast<std::uint16_t>(parts[k * 2 + 1] >> 16);
      v[3] = static_cast<std::uint16_t>(parts[k * 2 + 1] & 0xFFFF);
    }
  }
  for_children(p, root.children, root.end, [&](const Block& section) {
    if (!same_ascii_case(section.key, u"StringFileInfo")) return;
    for_children(p, section.children, section.end, [&](const Block& table) {
      VersionTable t;
      t.language = table.key;
      for_children(p, table.children, table.end, [&](const Block& s) { t.strings.emplace_back(s.key, text_value(p, s)); });
      info.tables.push_back(std::move(t));
    });
  });
  return info;
}

std::optional<VersionInfo> version_info(const ReadAt& read) {
  PeHeaders pe;
  if (probe(read, pe) != 3) return std::nullopt;
  const bool plus = pe.magic == kPe32Plus;
  std::uint32_t dirCount = 0, resRva = 0;
  if (!read_u32(read, pe.optional + (plus ? 108 : 92), dirCount) || dirCount < 3) return std::nullopt;
  const std::uint64_t dirs = pe.optional + (plus ? 112 : 96);
  if (!read_u32(read, dirs + 16, resRva) || resRva == 0) return std::nullopt;
  Sections sections;
  std::uint64_t base = 0;
  if (!sections.load(read, pe) || !sections.offset_of(resRva, 16, base)) return std::nullopt;
  std::vector<DirEntry> entries;
  if (!directory(read, base, entries)) return std::nullopt;
  const auto type = std::find_if(entries.begin(), entries.end(), [](const DirEntry& e) {
    return e.name == kVersionResource && (e.data & kSubdirectory);
  });
  if (type == entries.end()) return std::nullopt;
  // The first name, then every language of it (a program may carry its
  // strings in many): US English first, then neutral, then the others.
  const std::uint32_t names = type->data;
  if (!directory(read, base + (names & ~kSubdirectory), entries)) return std::nullopt;
  const std::uint32_t name = entries.front().data;
  if (!(name & kSubdirectory) || !directory(read, base + (name & ~kSubdirectory), entries)) return std::nullopt;
  const auto rank = [](const DirEntry& e) { return e.name == kUsEnglish ? 0 : e.name == 0 ? 1 : 2; };
  std::stable_sort(entries.begin(), entries.end(), [&](const DirEntry& x, const DirEntry& y) { return rank(x) < rank(y); });
  if (entries.size() > kMaxLanguages) entries.resize(kMaxLanguages);
  std::optional<VersionInfo> info;
  for (const DirEntry& language : entries) {
    if (language.data & kSubdirectory) continue;
    std::uint8_t data[8];
    if (!read(base + language.data, sizeof data, data)) continue;
    const std::uint32_t rva = u32(data), size = u32(data + 4);
    std::uint64_t at = 0;
    // Some linkers pad the entry past the block; what lies beyond 64 KB is never part of it.
    const std::uint32_t wanted = std::min<std::uint32_t>(size, kMaxVersionBlock);
    if (size == 0 || !sections.offset_of(rva, wanted, at)) continue;
    std::vector<std::uint8_t> block(wanted);
    if (!read(at, block.size(), block.data())) continue;
    auto one = parse_version_block(block.data(), block.size());
    if (!one) continue;
    if (!info) {
      info = std::move(one);
      continue;
    }
    for (VersionTable& t : one->tables) info->tables.push_back(std::move(t));
  }
  return info;
}

ReadAt bytes_reader(const std::vector<std::uint8_t>& bytes) {
  return [&bytes](std::uint64_t offset, std::size_t n, std::uint8_t* out) {
    if (offset > bytes.size() || n > bytes.size() - offset) return false;
    if (n) std::memcpy(out, bytes.data() + offset, n);
    return true;
  };
}

}  // namespace orv::files
