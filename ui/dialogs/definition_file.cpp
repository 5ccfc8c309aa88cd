#include "ui/dialogs/definition_file.h"

namespace orv::dialogs {
namespace {

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

}  // namespace

bool read_definition_file(std::string_view text, DefinitionEntries& out, std::size_t& badLine) {
  out.clear();
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trim_blanks(line);
    if (line.empty() || line.front() == ';') continue;
    const std::size_t eq = line.find('=');
    const std::string_view name = eq == std::string_view::npos ? std::string_view() : trim_blanks(line.substr(0, eq));
    if (name.empty() || name.size() > kFileEntryNameMax) {
      badLine = lineNumber;
      return false;
    }
    out[lower_ascii(name)] = std::string(trim_blanks(line.substr(eq + 1)));
  }
  return true;
}

std::optional<std::string> EntrySource::text(std::string_view name) {
  const std::string lowered = lower_ascii(name);
  const std::string prefix = lower_ascii(name_);
  if (lowered.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const auto it = entries_.find(lowered.substr(prefix.size()));
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

}  // namespace orv::dialogs
