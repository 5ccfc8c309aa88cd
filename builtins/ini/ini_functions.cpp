// IniRead, IniWrite, IniDelete, IniItemize and their Pvt forms (which name
// the file). Thin over the profile service; what is ours is the whole-section
// key, the one protected key, the buffer sizes and the TAB-separated lists.
#include <algorithm>
#include <cstring>

#include "builtins/families.h"
#include "builtins/ini/profile.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::ini {
namespace {

constexpr std::size_t kReadBuffer = 65535;
constexpr std::size_t kItemizeBuffer = 32000;
constexpr const char* kWholeSection = "692837";

std::string arg(const Call& call, int k) { return str_of(call.c, call.args[static_cast<std::size_t>(k)]); }

bool ascii_equal(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (x != b[i]) return false;
  }
  return true;
}

// [386Enh] Device= belongs to the system and is never read or written here.
bool protected_key(Context& c, const std::string& section, const std::string& key) {
  if (!ascii_equal(section, "386ENH") || !ascii_equal(key, "DEVICE")) return false;
  fail(c, errs::kIniDeviceKeyForbidden);
  return true;
}

void read_value(Call& call, const std::string& file) {
  const std::string section = arg(call, 1), key = arg(call, 2);
  if (!file.empty() && protected_key(call.c, section, key)) return;
  make_string(call.c, call.result, profile_read(file, section, key, arg(call, 3), kReadBuffer));
}

void ini_read(Call& call) { read_value(call, ""); }
void ini_read_pvt(Call& call) { read_value(call, arg(call, 4)); }

// Returns the service's result; all three empty flushes the file's cache.
int write_value(Call& call, const std::string& file, bool& wrote) {
  const std::string section = arg(call, 1), key = arg(call, 2), value = arg(call, 3);
  wrote = false;
  if (section.empty() && key.empty() && value.empty()) return profile_write(file, std::nullopt, std::nullopt, std::nullopt);
  if (!file.empty() && protected_key(call.c, section, key)) return 0;
  wrote = true;
  return profile_write(file, section, key, value);
}

void ini_write(Call& call) {
  bool wrote = false;
  write_value(call, "", wrote);
  if (wrote) profile_changed(arg(call, 1));
  make_int(call.result, 1);
}

void ini_write_pvt(Call& call) {
  bool wrote = false;
  const int r = write_value(call, arg(call, 4), wrote);
  if (!failed(call.c)) make_int(call.result, r);
}

void delete_entry(Call& call, const std::string& file) {
  const std::string section = arg(call, 1), key = arg(call, 2);
  if (key == kWholeSection) profile_write(file, section, std::nullopt, std::nullopt);
  else profile_write(file, section, key, std::nullopt);
  make_int(call.result, 0);
}

void ini_delete(Call& call) { delete_entry(call, ""); }
void ini_delete_pvt(Call& call) { delete_entry(call, arg(call, 3)); }

// Names of all sections, or of the keys of one, separated by TAB.
void itemize(Call& call, const std::string& file) {
  const std::string section = arg(call, 1);
  const std::size_t size = static_cast<std::size_t>(
      std::max<std::uint64_t>(kItemizeBuffer, std::min<std::uint64_t>(profile_file_size(file), 0x7FFFFFF)));
  std::string names = profile_read(file, section.empty() ? Name() : Name(section), std::nullopt, "(NONE)", size);
  while (!names.empty() && names.back() == '\0') names.pop_back();
  std::replace(names.begin(), names.end(), '\0', '\t');
  make_string(call.c, call.result, names.empty() ? "(NONE)" : names);
}

void ini_itemize(Call& call) { itemize(call, ""); }
void ini_itemize_pvt(Call& call) { itemize(call, arg(call, 2)); }

}  // namespace
}  // namespace orv::ini

namespace orv {

void register_ini_functions(HandlerTable& t) {
  t.add(kw::fn_iniread, ini::ini_read);
  t.add(kw::fn_inireadpvt, ini::ini_read_pvt);
  t.add(kw::fn_iniwrite, ini::ini_write);
  t.add(kw::fn_iniwritepvt, ini::ini_write_pvt);
  t.add(kw::fn_inidelete, ini::ini_delete);
  t.add(kw::fn_inideletepvt, ini::ini_delete_pvt);
  t.add(kw::fn_iniitemize, ini::ini_itemize);
  t.add(kw::fn_iniitemizepvt, ini::ini_itemize_pvt);
}

}  // namespace orv
