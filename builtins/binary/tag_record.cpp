#include "builtins/binary/tag_record.h"

#include <cstdio>

namespace orv::binary {
namespace {

constexpr std::size_t kHeader = 36;

// A field of `width` hex digits at `at`; -1 when it is not one.
std::int64_t hex_field(std::string_view s, std::size_t at, std::size_t width) {
  std::int64_t v = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    const char ch = s[i];
    int d = -1;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

bool parse_tag_record(std::string_view s, TagRecord& r) {
  if (s.size() < kHeader) return false;
  const std::int64_t total = hex_field(s, 0, 4), slot = hex_field(s, 4, 4), position = hex_field(s, 8, 8),
                     state = hex_field(s, 16, 4), startLen = hex_field(s, 20, 4), endLen = hex_field(s, 24, 4),
                     dataLen = hex_field(s, 28, 8);
  if (total < 0 || slot < 0 || position < 0 || state < 0 || startLen < 0 || endLen < 1 || dataLen < 0) return false;
  // Eight-digit fields are signed 32-bit values.
  if (position > INT32_MAX || dataLen > INT32_MAX) return false;
  if (static_cast<std::size_t>(total) != s.size()) return false;
  if (state != 'I' && state != 'F' && state != 'R') return false;
  if (kHeader + static_cast<std::size_t>(startLen + endLen) + 2 != s.size()) return false;
  if (s[kHeader + static_cast<std::size_t>(startLen)] != ' ' || s.back() != ' ') return false;
  r.slot = static_cast<std::int32_t>(slot);
  r.position = position;
  r.state = static_cast<char>(state);
  r.startTag.assign(s.substr(kHeader, static_cast<std::size_t>(startLen)));
  r.endTag.assign(s.substr(kHeader + static_cast<std::size_t>(startLen) + 1, static_cast<std::size_t>(endLen)));
  r.dataLength = dataLen;
  return true;
}

std::string format_tag_record(const TagRecord& r) {
  const std::size_t total = kHeader + r.startTag.size() + r.endTag.size() + 2;
  if (total > 0xFFFF || r.position > INT32_MAX || r.dataLength > INT32_MAX || r.slot > 0xFFFF) return {};
  char head[kHeader + 1];
  std::snprintf(head, sizeof head, "%04X%04X%08X%04X%04X%04X%08X", static_cast<unsigned>(total),
                static_cast<unsigned>(r.slot), static_cast<unsigned>(r.position), static_cast<unsigned>(r.state),
                static_cast<unsigned>(r.startTag.size()), static_cast<unsigned>(r.endTag.size()),
                static_cast<unsigned>(r.dataLength));
  return std::string(head) + r.startTag + " " + r.endTag + " ";
}

}  // namespace orv::binary
