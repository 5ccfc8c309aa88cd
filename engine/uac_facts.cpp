#include "engine/uac_facts.h"

#include <cstddef>

namespace orv::uac {
namespace {

char lower_ascii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; }

std::size_t find_nocase(std::string_view hay, std::string_view needle, std::size_t from) {
  if (needle.empty() || hay.size() < needle.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && lower_ascii(hay[i + k]) == lower_ascii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

// Manifests are ASCII in practice; a UTF-16 one becomes its low bytes.
std::string as_narrow(std::string_view m) {
  const bool bomLittle = m.size() >= 2 && static_cast<unsigned char>(m[0]) == 0xFF &&
                         static_cast<unsigned char>(m[1]) == 0xFE;
  const bool bomBig = m.size() >= 2 && static_cast<unsigned char>(m[0]) == 0xFE &&
                      static_cast<unsigned char>(m[1]) == 0xFF;
  const bool bareLittle = !bomLittle && !bomBig && m.size() >= 2 && m[0] != '\0' && m[1] == '\0';
  if (!bomLittle && !bomBig && !bareLittle) return std::string(m);
  std::string out;
  const std::size_t start = bareLittle ? 0 : 2;
  const std::size_t low = bomBig ? 1 : 0;
  for (std::size_t i = start; i + 1 < m.size(); i += 2) out += m[i + low];
  return out;
}

// Text with the comments blanked, so that a commented-out element is not read.
std::string without_comments(std::string s) {
  std::size_t at = 0;
  while ((at = s.find("<!--", at)) != std::string::npos) {
    const std::size_t end = s.find("-->", at + 4);
    const std::size_t stop = end == std::string::npos ? s.size() : end + 3;
    for (std::size_t i = at; i < stop; ++i) s[i] = ' ';
    at = stop;
  }
  return s;
}

bool is_name_char(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
         ch == ':' || ch == '-' || ch == '.';
}

// The value of attribute `name` inside one start tag; "" when it is missing.
std::string attribute(std::string_view tag, std::string_view name) {
  std::size_t at = 0;
  while ((at = find_nocase(tag, name, at)) != std::string_view::npos) {
    const bool wholeBefore = at > 0 && !is_name_char(tag[at - 1]);
    std::size_t p = at + name.size();
    at = p;
    if (!wholeBefore) continue;
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t' || tag[p] == '\r' || tag[p] == '\n')) ++p;
    if (p >= tag.size() || tag[p] != '=') continue;
    ++p;
    while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t' || tag[p] == '\r' || tag[p] == '\n')) ++p;
    if (p >= tag.size() || (tag[p] != '"' && tag[p] != '\'')) continue;
    const char quote = tag[p];
    const std::size_t end = tag.find(quote, p + 1);
    if (end == std::string_view::npos) return {};
    return std::string(tag.substr(p + 1, end - p - 1));
  }
  return {};
}

}  // namespace

const char* elevation_name(platform::Elevation e) {
  switch (e) {
    case platform::Elevation::unsupported: return "Unsupported Platform";
    case platform::Elevation::standard: return "Standard User or Disabled";
    case platform::Elevation::elevated: return "Elevated";
    case platform::Elevation::admin_not_elevated: return "Admin Not Elevated";
    case platform::Elevation::unknown: break;
  }
  return "<Unknown>";
}

ManifestSettings parse_manifest(std::string_view manifest) {
  const std::string text = without_comments(as_narrow(manifest));
  const std::string_view view(text);
  ManifestSettings out;
  std::size_t at = 0;
  while ((at = find_nocase(view, "requestedExecutionLevel", at)) != std::string_view::npos) {
    // The element's own start tag: "<" or a namespace prefix right before it.
    std::size_t open = at;
    while (open > 0 && is_name_char(view[open - 1])) --open;
    const bool isElement = open > 0 && view[open - 1] == '<';
    at += 23;
    if (!isElement || (at < view.size() && is_name_char(view[at]))) continue;
    const std::size_t close = view.find('>', at);
    const std::string_view tag = view.substr(at, close == std::string_view::npos ? std::string_view::npos : close - at);
    out.level = attribute(tag, "level");
    out.uiAccess = attribute(tag, "uiAccess");
    break;
  }
  return out;
}

}  // namespace orv::uac
