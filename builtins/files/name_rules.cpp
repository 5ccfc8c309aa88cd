#include "builtins/files/name_rules.h"

namespace orv::files {
namespace {

constexpr std::size_t kItemLimit = 32766;

struct Parts {
  std::u16string_view name, ext;
  bool dot = false;
};

Parts split_ext(std::u16string_view s) {
  const auto dot = s.find_last_of(u'.');
  if (dot == std::u16string_view::npos) return {s, {}, false};
  return {s.substr(0, dot), s.substr(dot + 1), true};
}

std::u16string map_part(std::u16string_view source, std::u16string_view mask) {
  std::u16string out;
  std::size_t at = 0;
  for (char16_t m : mask) {
    if (m == u'*') {
      if (at < source.size()) out.append(source.substr(at));
      at = source.size();
    } else if (m == u'?') {
      if (at < source.size()) out += source[at];
      ++at;
    } else {
      out += m;
      ++at;
    }
  }
  return out;
}

bool legal_name(std::u16string_view s) {
  if (s.empty() || s == u"." || s == u"..") return false;
  for (char16_t ch : s)
    if (ch < 32 || std::u16string_view(u"\\/:*?\"<>|").find(ch) != std::u16string_view::npos) return false;
  return true;
}

bool digits(std::u16string_view s) {
  for (char16_t ch : s)
    if (ch < u'0' || ch > u'9') return false;
  return true;
}

}  // namespace

std::optional<std::vector<std::u16string>> split_source_list(std::u16string_view list) {
  std::vector<std::u16string> items;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find_first_of(u"\t|", start);
    if (end == std::u16string_view::npos) end = list.size();
    if (end - start >= kItemLimit) return std::nullopt;
    if (end > start) items.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::size_t name_start(std::u16string_view path) {
  const auto cut = path.find_last_of(u"\\/:");
  return cut == std::u16string_view::npos ? 0 : cut + 1;
}

bool is_port_name(std::u16string_view name) {
  if (name.size() == 4 && (name.substr(0, 3) == u"COM" || name.substr(0, 3) == u"LPT"))
    return name[3] >= u'1' && name[3] <= u'9';
  return name.size() == 6 && name.substr(0, 3) == u"USB" && digits(name.substr(3));
}

std::optional<std::u16string> map_name(std::u16string_view source, std::u16string_view mask) {
  const Parts m = split_ext(mask);
  std::u16string out;
  if (!m.dot) {
    out = map_part(source, mask);
  } else {
    const Parts s = split_ext(source);
    out = map_part(s.name, m.name);
    const std::u16string ext = map_part(s.ext, m.ext);
    if (!ext.empty()) out += u'.' + ext;
  }
  if (!legal_name(out)) return std::nullopt;
  return out;
}

}  // namespace orv::files
