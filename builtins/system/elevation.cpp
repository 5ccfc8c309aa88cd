// UacElevationLevel, UacExePromptTest, UacManifestSettings and
// UacProtectedDirectory: the elevation facts of the trace header, and whether
// starting a program or writing a folder would ask the user for elevation.
#include "builtins/files/file_args.h"
#include "builtins/system/system_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/uac_facts.h"
#include "engine/value_ops.h"
#include "platform/process_facts.h"

namespace orv::sysinfo {
namespace {

void elevation_level(Call& call) { make_int(call.result, static_cast<std::int32_t>(platform::elevation_level())); }

void exe_prompt_test(Call& call) {
  const std::u16string name = files::wide_arg(call, 1);
  const std::u16string path = name.empty() ? std::u16string() : platform::find_program(name);
  if (path.empty()) {
    fail(call.c, errs::kProgramNotFound);
    return;
  }
  std::string manifest;
  platform::program_manifest(path, manifest);   // a file that is no program has no manifest
  const uac::ManifestSettings m = uac::parse_manifest(manifest);
  make_int(call.result, start_would_prompt(platform::elevation_level(), m.level, path) ? 1 : 0);
}

void manifest_settings(Call& call) {
  const std::int32_t request = call.args[1].i;
  if (request < 0 || request > 2) {
    fail(call.c, errs::kManifestBadRequest);
    return;
  }
  const std::string manifest = platform::process_manifest();
  const uac::ManifestSettings m = uac::parse_manifest(manifest);
  set_answer(call, Answer{true, 0, request == 0 ? m.level : request == 1 ? m.uiAccess : manifest});
}

// The folders only an elevated process may write: the system's own and the
// programs' folders, as the environment names them.
std::vector<std::u16string> protected_roots() {
  std::vector<std::u16string> roots;
  for (const char* name : {"windir", "SystemRoot", "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
    const std::string value = platform::get_environment(name);
    std::u16string wide;
    if (!value.empty() && platform::ansi_to_utf16(value, wide)) roots.push_back(wide);
  }
  return roots;
}

void protected_directory(Call& call) {
  std::u16string full;
  if (!files::full_path(call.c, files::wide_arg(call, 1), full)) return;
  make_int(call.result, writing_would_prompt(platform::elevation_level(), full, protected_roots()) ? 1 : 0);
}

}  // namespace

void register_elevation(HandlerTable& t) {
  t.add(kw::fn_uacelevationlevel, elevation_level);
  t.add(kw::fn_uacexeprompttest, exe_prompt_test);
  t.add(kw::fn_uacmanifestsettings, manifest_settings);
  t.add(kw::fn_uacprotecteddirectory, protected_directory);
}

}  // namespace orv::sysinfo
