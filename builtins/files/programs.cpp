// ExeTypeInfo, FileVerInfo and InstallFile: what a program file says about
// itself. The headers and the version resource are read from the file's
// bytes (exe_headers.cpp), so these work the same off Windows.
#include <array>
#include <cstdio>

#include "builtins/files/exe_headers.h"
#include "builtins/files/file_args.h"
#include "builtins/files/file_times.h"
#include "builtins/files/files_groups.h"
#include "builtins/files/name_rules.h"
#include "builtins/files/whole_files.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::files {
// Named, not anonymous: a folder compiles as one unit in the Windows build.
namespace programs_impl {

namespace pf = platform::files;

constexpr std::uint16_t kBadInstallFlags = 4051;

void exe_type_info(Call& call) {
  InputFile in;
  if (in.open(call.c, wide_arg(call, 1), "ExeTypeInfo"))
    make_int(call.result, static_cast<std::int32_t>(exe_type(in.reader())));
}

bool same_text(std::u16string_view a, std::u16string_view b) { return upper_ascii(a) == upper_ascii(b); }

std::u16string version_text(const std::uint16_t (&v)[4]) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

// The value a key names: "" lists the string tables' languages; "#FileVersion"
// and "#ProductVersion" read the fixed, numeric part; anything else is a string
// of the table the language picks (the first one for an empty language).
std::u16string version_value(const VersionInfo& info, std::u16string_view language, std::u16string_view key) {
  std::u16string out;
  if (key.empty()) {
    for (const VersionTable& t : info.tables) out += (out.empty() ? u"" : u"\t") + t.language;
    return out;
  }
  if (key[0] == u'#') {
    if (!info.hasFixed) return out;
    if (same_text(key, u"#FileVersion")) return version_text(info.fileVersion);
    if (same_text(key, u"#ProductVersion")) return version_text(info.productVersion);
    return out;
  }
  for (const VersionTable& t : info.tables) {
    if (!language.empty() && !same_text(t.language, language)) continue;
    for (const auto& [name, value] : t.strings)
      if (same_text(name, key)) return value;
    return out;
  }
  return out;
}

void file_ver_info(Call& call) {
  InputFile in;
  if (!in.open(call.c, wide_arg(call, 1), "FileVerInfo")) return;
  const auto info = version_info(in.reader());
  set_text(call, info ? version_value(*info, wide_arg(call, 2), wide_arg(call, 3)) : std::u16string());
}

// The fixed file version of a program, when it has one.
std::optional<std::array<std::uint16_t, 4>> file_version(const std::u16string& path) {
  InputFile in;
  if (!in.open_quietly(path)) return std::nullopt;
  const auto info = version_info(in.reader());
  if (!info || !info->hasFixed) return std::nullopt;
  return std::array<std::uint16_t, 4>{info->fileVersion[0], info->fileVersion[1], info->fileVersion[2],
                                      info->fileVersion[3]};
}

constexpr int kTimesOnly = 1, kAlways = 2;
enum Installed { kLeftAlone = 0, kNew = 1, kReplaced = 2 };

// Copies the source when the target is missing or older: older by the
// version resources when both have one, else by the last-write time.
void install_file(Call& call) {
  Context& c = call.c;
  const int flags = call.count >= 3 ? call.args[3].i : 0;
  if (flags & ~(kTimesOnly | kAlways)) { fail(c, kBadInstallFlags); return; }
  std::u16string from, to;
  if (!full_path(c, wide_arg(call, 1), from)) return;
  pf::Facts source, target;
  if (!pf::facts(from, source) || (source.attributes & pf::kDirectory)) {
    fail_missing(c, "InstallFile", from);
    return;
  }
  std::u16string targetName = wide_arg(call, 2);
  if (!targetName.empty() && (targetName.back() == u'\\' || targetName.back() == u'/')) targetName.pop_back();
  if (!full_path(c, targetName, to)) return;
  const bool exists = pf::facts(to, target);
  if (exists && (target.attributes & pf::kDirectory)) {
    to += pf::separator() + from.substr(name_start(from));
  }
  const bool hasTarget = pf::facts(to, target) && !(target.attributes & pf::kDirectory);
  bool newer = !hasTarget || (flags & kAlways);
  if (!newer) {
    const auto a = (flags & kTimesOnly) ? std::nullopt : file_version(from);
    const auto b = (flags & kTimesOnly) ? std::nullopt : file_version(to);
    newer = a && b ? *a > *b : compare_file_times(source.written, target.written) > 0;
  }
  if (!newer) { make_int(call.result, kLeftAlone); return; }
  if (copy_replacing(c, from, to)) make_int(call.result, hasTarget ? kReplaced : kNew);
}

}  // namespace programs_impl

void register_programs(HandlerTable& t) {
  t.add(kw::fn_exetypeinfo, programs_impl::exe_type_info);
  t.add(kw::fn_fileverinfo, programs_impl::file_ver_info);
  t.add(kw::fn_installfile, programs_impl::install_file);
}

}  // namespace orv::files
