#include "builtins/ini/ini_document.h"

namespace orv::ini {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void IniDocument::parse(std::string_view text) {
  lead_.clear();
  sections_.clear();
  std::vector<Entry>* into = &lead_;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::string_view t = trim(line);
    if (t.empty()) continue;
    if (t.front() == '[') {
      const std::size_t close = t.find(']');
      const std::string_view name = trim(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1));
      sections_.push_back({std::string(name), {}});
      into = &sections_.back().entries;
      continue;
    }
    const std::size_t eq = t.find('=');
    const std::string_view key = eq == std::string_view::npos ? std::string_view() : trim(t.substr(0, eq));
    if (t.front() == ';' || key.empty()) {
      into->push_back({{}, std::string(t)});   // kept as it is
      continue;
    }
    into->push_back({std::string(key), std::string(trim(t.substr(eq + 1)))});
  }
}

std::string IniDocument::text() const {
  std::string out;
  auto lines = [&](const std::vector<Entry>& entries) {
    for (const Entry& e : entries) out += (e.key.empty() ? e.value : e.key + "=" + e.value) + "\r\n";
  };
  lines(lead_);
  for (const Section& s : sections_) {
    out += "[" + s.name + "]\r\n";
    lines(s.entries);
  }
  return out;
}

IniDocument::Section* IniDocument::find(std::string_view name) {
  for (Section& s : sections_)
    if (same_name(s.name, name)) return &s;
  return nullptr;
}

const IniDocument::Section* IniDocument::find(std::string_view name) const {
  return const_cast<IniDocument*>(this)->find(name);
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
  const Section* s = find(section);
  if (!s) return std::nullopt;
  for (const Entry& e : s->entries) {
    if (e.key.empty() || !same_name(e.key, key)) continue;
    std::string_view v = e.value;
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return std::string(v);
  }
  return std::nullopt;
}

std::vector<std::string> IniDocument::sections() const {
  std::vector<std::string> out;
  for (const Section& s : sections_) out.push_back(s.name);
  return out;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
  std::vector<std::string> out;
  if (const Section* s = find(section))
    for (const Entry& e : s->entries)
      if (!e.key.empty()) out.push_back(e.key);
  return out;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = find(section);
  if (!s) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  for (Entry& e : s->entries) {
    if (!e.key.empty() && same_name(e.key, key)) {
      e.value = std::string(value);
      return;
    }
  }
  s->entries.push_back({std::string(key), std::string(value)});
}

void IniDocument::erase_key(std::string_view section, std::string_view key) {
  if (Section* s = find(section))
    std::erase_if(s->entries, [&](const Entry& e) { return !e.key.empty() && same_name(e.key, key); });
}

void IniDocument::erase_section(std::string_view section) {
  std::erase_if(sections_, [&](const Section& s) { return same_name(s.name, section); });
}

}  // namespace orv::ini
