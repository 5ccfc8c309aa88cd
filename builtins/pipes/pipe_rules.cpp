#include "builtins/pipes/pipe_rules.h"

namespace orv::pipes {
namespace {

char16_t pipe_lower(char16_t ch) { return ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch; }

bool pipe_name_part_ok(std::u16string_view part) {
  if (part.empty()) return false;
  for (char16_t ch : part)
    if (ch == u'\\' || ch == 0) return false;
  return true;
}

}  // namespace

std::optional<PipeName> parse_pipe_name(std::u16string_view text) {
  PipeName out;
  if (text.substr(0, 2) == u"\\\\") {
    text.remove_prefix(2);
    const std::size_t slash = text.find(u'\\');
    if (slash == std::u16string_view::npos) return std::nullopt;
    out.server = std::u16string(text.substr(0, slash));
    text.remove_prefix(slash + 1);
    std::u16string word;
    for (char16_t ch : text.substr(0, 5)) word += pipe_lower(ch);
    if (word != u"pipe\\") return std::nullopt;
    text.remove_prefix(5);
    if (!pipe_name_part_ok(out.server)) return std::nullopt;
  }
  // The system allows backslashes inside a pipe's name, but a name that
  // starts with one, or an empty part, is a mistyped path.
  if (text.empty() || text.front() == u'\\') return std::nullopt;
  for (char16_t ch : text)
    if (ch == 0) return std::nullopt;
  out.name = std::u16string(text);
  if (out.path().size() > kMaxPipePath) return std::nullopt;
  return out;
}

std::string encode_message(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string utf16le_bytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t ch : text) {
    out += static_cast<char>(ch & 0xFF);
    out += static_cast<char>(ch >> 8);
  }
  return out;
}

std::u16string utf16le_text(std::string_view bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto ch = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (ch == 0) break;
    out += ch;
  }
  return out;
}

std::string encode_message(std::u16string_view text) {
  return "\xFF\xFE" + utf16le_bytes(text.substr(0, text.find(u'\0')));
}

MessageText decode_message(std::string_view bytes) {
  MessageText m;
  // A mark with an odd number of bytes after it is not UTF-16 we wrote: it
  // stays 8-bit text rather than losing a byte.
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE' && bytes.size() % 2 == 0) {
    m.wide = true;
    m.utf16 = utf16le_text(bytes.substr(2));
    return m;
  }
  m.narrow = std::string(bytes.substr(0, bytes.find('\0')));
  return m;
}

std::optional<InfoRequest> info_request(std::int32_t request) {
  if (request < 0 || request > 3) return std::nullopt;
  return static_cast<InfoRequest>(request);
}

}  // namespace orv::pipes
