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

bool is_separator(char16_t ch) { return ch == u'\\' || ch == u'/'; }

bool is_blank(char16_t ch) { return ch == u' ' || ch == u'\t'; }

std::u16string_view trim_trailing_dots(std::u16string_view s) {
  while (!s.empty() && (s.back() == u'.' || s.back() == u' ')) s.remove_suffix(1);
  return s;
}

// "\\server" and "\\server\share" name no file, only the share's root.
bool is_share_root(std::u16string_view name) {
  if (name.size() < 2 || !is_separator(name[0]) || !is_separator(name[1])) return false;
  std::size_t at = 2;
  for (int part = 0; part < 2; ++part) {
    while (at < name.size() && !is_separator(name[at])) ++at;
    if (at == name.size()) return true;
    ++at;
  }
  return false;
}

char16_t fold_ascii(char16_t ch) { return ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - 32) : ch; }

// Where "*" stops before the mask character `next`: its last occurrence in
// the rest of the source, in any letter case; the end when there is none.
std::size_t star_end(std::u16string_view source, std::size_t at, char16_t next) {
  for (std::size_t i = source.size(); i > at; --i)
    if (fold_ascii(source[i - 1]) == fold_ascii(next)) return i - 1;
  return source.size();
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

std::u16string_view unquote_name(std::u16string_view name) {
  while (!name.empty() && is_blank(name.front())) name.remove_prefix(1);
  while (!name.empty() && is_blank(name.back())) name.remove_suffix(1);
  if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"') name = name.substr(1, name.size() - 2);
  return name;
}

NameParts split_name(std::u16string_view name) {
  if (is_share_root(name)) return {name, {}, {}};
  const std::size_t cut = name_start(name);
  const std::u16string_view last = trim_trailing_dots(name.substr(cut));
  if (last.empty()) return {name, {}, {}};
  const std::size_t dot = last.find_last_of(u'.');
  if (dot == std::u16string_view::npos) return {name.substr(0, cut), last, {}};
  return {name.substr(0, cut), last.substr(0, dot), last.substr(dot + 1)};
}

std::u16string folder_text(std::u16string_view folder) {
  std::u16string out(folder);
  for (auto& ch : out)
    if (ch == u'/') ch = u'\\';
  if (!out.empty() && out.back() != u'\\' && out.back() != u':') out += u'\\';
  return out;
}

bool is_relative_name(std::u16string_view name) {
  if (!name.empty() && is_separator(name[0])) return false;
  return name.size() < 2 || name[1] != u':';
}

std::u16string complete_target(std::u16string target) {
  if (!target.empty() && (is_separator(target.back()) || target.back() == u':')) target += u"*.*";
  return target;
}

std::optional<std::u16string> apply_target(std::u16string_view source, std::u16string_view target) {
  const std::size_t cut = name_start(target);
  const std::u16string_view mask = target.substr(cut);
  if (!has_wildcards(mask)) return std::u16string(target);
  const auto mapped = map_name(source.substr(name_start(source)), mask);
  if (!mapped) return std::nullopt;
  return std::u16string(target.substr(0, cut)) + *mapped;
}

std::optional<std::u16string> shell_rename(std::u16string_view source, std::u16string_view mask) {
  std::u16string out;
  std::size_t at = 0;
  const auto here_is_name = [&] { return at < source.size() && source[at] != u'.'; };
  for (std::size_t i = 0; i < mask.size(); ++i) {
    const char16_t m = mask[i];
    if (m == u'?') {
      if (here_is_name()) out += source[at++];
    } else if (m == u'*') {
      while (i + 1 < mask.size() && mask[i + 1] == u'*') ++i;
      const bool toEnd = i + 1 == mask.size() || mask[i + 1] == u'?';
      const std::size_t end = toEnd ? source.size() : star_end(source, at, mask[i + 1]);
      out.append(source.substr(at, end - at));
      at = end;
    } else if (m == u'.') {
      const std::size_t dot = source.find(u'.', at);
      at = dot == std::u16string_view::npos ? source.size() : dot + 1;
      out += u'.';
    } else {
      out += m;
      if (here_is_name()) ++at;
    }
  }
  out.resize(trim_trailing_dots(out).size());
  if (!legal_name(out)) return std::nullopt;
  return out;
}

}  // namespace orv::files
