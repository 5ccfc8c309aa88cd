// The profile service off Windows: files read and written whole through
// IniDocument. WIN.INI and names without a folder live in a folder of our
// own ($ORV_WINDIR, or "orv-windows" in the temporary folder). A file is
// replaced only by a complete new copy.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "builtins/ini/ini_document.h"
#include "builtins/ini/profile.h"

namespace orv::ini {
namespace {

namespace fs = std::filesystem;

fs::path windows_folder() {
  if (const char* dir = std::getenv("ORV_WINDIR"); dir && *dir) return dir;
  std::error_code ec;
  return fs::temp_directory_path(ec) / "orv-windows";
}

fs::path resolve(const std::string& file) {
  std::string name = file.empty() ? "win.ini" : file;
  for (char& ch : name)
    if (ch == '\\') ch = '/';
  if (name.find('/') == std::string::npos) return windows_folder() / name;
  return name;
}

IniDocument load(const fs::path& p) {
  IniDocument doc;
  std::ifstream in(p, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  doc.parse(text.str());
  return doc;
}

bool save(const fs::path& p, const IniDocument& doc) {
  std::error_code ec;
  if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
  const fs::path temp = p.string() + ".orvtmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << doc.text();
    if (!out.flush()) {
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, p, ec);
  return !ec;
}

std::string joined(const std::vector<std::string>& names, std::size_t size) {
  std::string out;
  for (const std::string& n : names) out += n + '\0';
  if (size > 1 && out.size() > size - 1) out.resize(size - 1);
  return out;
}

}  // namespace

std::string profile_read(const std::string& file, const Name& section, const Name& key, const std::string& fallback,
                         std::size_t size) {
  const IniDocument doc = load(resolve(file));
  if (!section) return joined(doc.sections(), size);
  if (!key) {
    std::string names = joined(doc.keys(*section), size);
    return names.empty() ? fallback + '\0' : names;
  }
  std::string value = doc.get(*section, *key).value_or(fallback);
  if (size > 0 && value.size() > size - 1) value.resize(size - 1);
  return value;
}

int profile_write(const std::string& file, const Name& section, const Name& key, const Name& value) {
  if (!section && !key && !value) return 1;   // nothing is cached here
  if (!section) return 0;
  const fs::path p = resolve(file);
  IniDocument doc = load(p);
  if (!key) doc.erase_section(*section);
  else if (!value) doc.erase_key(*section, *key);
  else doc.set(*section, *key, *value);
  return save(p, doc) ? 1 : 0;
}

std::uint64_t profile_file_size(const std::string& file) {
  std::error_code ec;
  const auto n = fs::file_size(resolve(file), ec);
  return ec ? 0 : n;
}

void profile_changed(const std::string&) {}

}  // namespace orv::ini
