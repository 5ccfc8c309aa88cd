// Small program images built in memory: a DOS header, optionally an NE or PE
// header, and a version resource, for the header readers' tests and fuzz seeds.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orv::testing {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}
inline void pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// One block of a version resource: key, value (text or bytes) and children.
struct VersionBlock {
  std::u16string key;
  Bytes binary;
  std::u16string text;
  bool isText = false;
  std::vector<VersionBlock> children;

  void write(Bytes& out) const {
    pad4(out);
    const std::size_t start = out.size();
    out.resize(start + 6);
    for (char16_t ch : key) put16(out, out.size(), ch);
    put16(out, out.size(), 0);
    pad4(out);
    std::uint32_t valueLength = 0;
    if (isText) {
      for (char16_t ch : text) put16(out, out.size(), ch);
      put16(out, out.size(), 0);
      valueLength = static_cast<std::uint32_t>(text.size() + 1);
    } else {
      out.insert(out.end(), binary.begin(), binary.end());
      valueLength = static_cast<std::uint32_t>(binary.size());
    }
    for (const VersionBlock& child : children) child.write(out);
    put16(out, start, static_cast<std::uint32_t>(out.size() - start));
    put16(out, start + 2, valueLength);
    put16(out, start + 4, isText ? 1 : 0);
  }
};

inline VersionBlock text_block(std::u16string key, std::u16string value) {
  VersionBlock b;
  b.key = std::move(key);
  b.text = std::move(value);
  b.isText = true;
  return b;
}

// VS_VERSION_INFO with a fixed part and string tables: {language, {key, value}...}.
inline Bytes version_resource(const std::uint16_t (&fileVersion)[4],
                              const std::vector<std::pair<std::u16string, std::vector<std::pair<std::u16string, std::u16string>>>>& tables) {
  VersionBlock root;
  root.key = u"VS_VERSION_INFO";
  Bytes fixed(52, 0);
  put32(fixed, 0, 0xFEEF04BD);
  put32(fixed, 8, (std::uint32_t{fileVersion[0]} << 16) | fileVersion[1]);
  put32(fixed, 12, (std::uint32_t{fileVersion[2]} << 16) | fileVersion[3]);
  put32(fixed, 16, (std::uint32_t{fileVersion[0]} << 16) | fileVersion[1]);
  put32(fixed, 20, (std::uint32_t{fileVersion[2]} << 16) | fileVersion[3]);
  root.binary = fixed;
  VersionBlock info;
  info.key = u"StringFileInfo";
  for (const auto& [language, strings] : tables) {
    VersionBlock table;
    table.key = language;
    for (const auto& [k, v] : strings) table.children.push_back(text_block(k, v));
    info.children.push_back(table);
  }
  root.children.push_back(info);
  Bytes out;
  root.write(out);
  return out;
}

enum class ImageKind { dos, ne, pe32, pe64 };

// A program image; `console` picks the subsystem of a PE image. Each
// {language, block} of `versions` becomes a language of its version resource.
inline Bytes program_image(ImageKind kind, bool console, const std::vector<std::pair<std::uint32_t, Bytes>>& versions) {
  Bytes b(64, 0);
  b[0] = 'M';
  b[1] = 'Z';
  if (kind == ImageKind::dos) {
    put32(b, 0x3C, 0x4000);   // no new header there
    b.resize(0x80, 0x90);
    return b;
  }
  put32(b, 0x3C, 0x40);
  if (kind == ImageKind::ne) {
    b.push_back('N');
    b.push_back('E');
    b.resize(0x100, 0);
    return b;
  }
  const bool plus = kind == ImageKind::pe64;
  const std::uint32_t optSize = plus ? 240 : 224, opt = 0x58, sections = opt + optSize;
  put32(b, 0x40, 0x00004550);
  put16(b, 0x44, plus ? 0x8664 : 0x14C);
  put16(b, 0x46, 1);
  put16(b, 0x54, optSize);
  put16(b, opt, plus ? 0x20B : 0x10B);
  put16(b, opt + 68, console ? 3 : 2);
  put32(b, opt + (plus ? 108 : 92), 16);
  b.resize(sections + 40, 0);
  const std::uint32_t raw = 0x200, va = 0x1000;
  Bytes rsrc;
  if (!versions.empty()) {
    // Type 16 -> name 1 -> the languages -> their data entries, then the blocks.
    const std::uint32_t n = static_cast<std::uint32_t>(versions.size());
    const std::uint32_t languages = 0x30, entries = languages + 16 + 8 * n;
    rsrc.resize(entries + 16 * n, 0);
    put16(rsrc, 14, 1);
    put32(rsrc, 16, 16);
    put32(rsrc, 20, 0x80000000u | 0x18);
    put16(rsrc, 0x18 + 14, 1);
    put32(rsrc, 0x18 + 16, 1);
    put32(rsrc, 0x18 + 20, 0x80000000u | languages);
    put16(rsrc, languages + 14, n);
    for (std::uint32_t i = 0; i < n; ++i) {
      put32(rsrc, languages + 16 + 8 * i, versions[i].first);
      put32(rsrc, languages + 20 + 8 * i, entries + 16 * i);
      pad4(rsrc);
      put32(rsrc, entries + 16 * i, va + static_cast<std::uint32_t>(rsrc.size()));
      put32(rsrc, entries + 16 * i + 4, static_cast<std::uint32_t>(versions[i].second.size()));
      rsrc.insert(rsrc.end(), versions[i].second.begin(), versions[i].second.end());
    }
    const std::size_t dirs = opt + (plus ? 112 : 96);
    put32(b, dirs + 16, va);
    put32(b, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
  }
  const std::size_t sec = sections;
  const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  for (int i = 0; i < 8; ++i) b[sec + i] = static_cast<std::uint8_t>(name[i]);
  put32(b, sec + 8, static_cast<std::uint32_t>(rsrc.size()));
  put32(b, sec + 12, va);
  put32(b, sec + 16, static_cast<std::uint32_t>(rsrc.size()));
  put32(b, sec + 20, raw);
  b.resize(raw, 0);
  b.insert(b.end(), rsrc.begin(), rsrc.end());
  return b;
}

inline Bytes program_image(ImageKind kind, bool console = false, const Bytes& version = {}) {
  if (version.empty()) return program_image(kind, console, std::vector<std::pair<std::uint32_t, Bytes>>{});
  return program_image(kind, console, std::vector<std::pair<std::uint32_t, Bytes>>{{0x409, version}});
}

}  // namespace orv::testing
