#include "builtins/registry/reg_text.h"

#include <cstdio>

#include "engine/error_numbers.h"

namespace orv::registry {

std::uint16_t split_key_and_value(std::string_view text, KeyAndValue& out) {
  out = {};
  const std::size_t open = text.find('[');
  std::string_view subkey = text.substr(0, open);
  if (open != std::string_view::npos) {
    if (text.back() != ']' || text.size() < open + 2) return errs::kRegBadDataItem;
    out.value = std::string(text.substr(open + 1, text.size() - open - 2));
    out.namesValue = true;
  }
  if (!subkey.empty() && subkey.back() == '\\') subkey.remove_suffix(1);
  if (subkey.size() >= kMaxSubkey) return errs::kRegSubkeyTooLong;
  out.subkey = std::string(subkey);
  return 0;
}

bool names_wow_branch(std::string_view subkey) {
  static constexpr std::string_view kBranch = "WOW6432NODE";
  if (subkey.size() < kBranch.size()) return false;
  for (std::size_t i = 0; i + kBranch.size() <= subkey.size(); ++i) {
    std::size_t k = 0;
    while (k < kBranch.size()) {
      char ch = subkey[i + k];
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
      if (ch != kBranch[k]) break;
      ++k;
    }
    if (k == kBranch.size()) return true;
  }
  return false;
}

std::string dword_text(std::uint32_t v, bool hex) {
  char text[16];
  std::snprintf(text, sizeof text, hex ? "%lX" : "%lu", static_cast<unsigned long>(v));
  return text;
}

std::uint32_t big_endian_dword(const unsigned char* p, std::size_t n) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | (i < n ? p[i] : 0u);
  return v;
}

std::string hex_pairs(const unsigned char* p, std::size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
    out += ' ';
  }
  return out;
}

namespace {
int digit_value(char ch, int radix) {
  int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : 99;
  return d < radix ? d : -1;
}
}  // namespace

std::optional<std::uint32_t> parse_dword(std::string_view text, bool hex) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty()) return std::nullopt;
  const int radix = hex ? 16 : 10;
  std::uint64_t v = 0;
  for (char ch : text) {
    const int d = digit_value(ch, radix);
    if (d < 0) return std::nullopt;
    v = v * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(v);
}

std::optional<std::vector<unsigned char>> parse_hex_pairs(std::string_view text) {
  std::vector<unsigned char> out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') { ++i; continue; }
    if (i + 1 >= text.size()) return std::nullopt;
    const int hi = digit_value(text[i], 16), lo = digit_value(text[i + 1], 16);
    if (hi < 0 || lo < 0) return std::nullopt;
    if (i + 2 < text.size() && text[i + 2] != ' ' && text[i + 2] != '\t') return std::nullopt;
    out.push_back(static_cast<unsigned char>(hi * 16 + lo));
    i += 2;
  }
  return out;
}

std::string multi_to_text(std::string_view data, char delimiter) {
  while (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  std::string out(data);
  for (char& ch : out)
    if (ch == '\0') ch = delimiter;
  return out;
}

std::string text_to_multi(std::string_view text, char delimiter) {
  std::string out(text);
  for (char& ch : out)
    if (ch == delimiter) ch = '\0';
  out += '\0';
  out += '\0';
  return out;
}

}  // namespace orv::registry
