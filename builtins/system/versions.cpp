// Version, VersionDll, WinVersion and DosVersion: the texts and numbers that
// say which interpreter and which system a script runs on. The numbers come
// from the same place as the trace header's.
#include "builtins/files/file_args.h"
#include "builtins/system/system_groups.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/process_facts.h"
#include "resources/version.h"

namespace orv::sysinfo {
namespace {

void version(Call& call) { set_answer(call, Answer{true, 0, platform::host_version_text()}); }

void version_dll(Call& call) { set_answer(call, Answer{true, 0, kVersionText}); }

template <bool (*Part)(const platform::OsVersionDetail&, std::int32_t, Answer&)>
void os_version_part(Call& call) {
  Answer a;
  if (!Part(platform::os_version_detail(), call.args[1].i, a)) {
    fail(call.c, errs::kVersionBadRequest);
    return;
  }
  set_answer(call, a);
}

}  // namespace

bool set_answer(Call& call, const Answer& a) {
  if (!a.isText) {
    make_int(call.result, a.number);
    return true;
  }
  return files::set_text(call, std::string_view(a.text));
}

void register_versions(HandlerTable& t) {
  t.add(kw::fn_version, version);
  t.add(kw::fn_versiondll, version_dll);
  t.add(kw::fn_winversion, os_version_part<win_version_part>);
  t.add(kw::fn_dosversion, os_version_part<dos_version_part>);
}

}  // namespace orv::sysinfo
