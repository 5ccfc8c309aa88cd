// Environment, EnvironSet and EnvItemize: the process's environment variables,
// which every program the script starts inherits.
#include "builtins/files/file_args.h"
#include "builtins/system/system_args.h"
#include "builtins/system/system_text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/environment.h"

namespace orv::system {
namespace {

namespace pe = platform::environment;

bool name_arg(Call& call, std::u16string& name) {
  name = files::wide_arg(call, 1);
  return environment_name_ok(name) ? true : fail(call.c, errs::kBadEnvironmentName);
}

void environment_get(Call& call) {
  std::u16string name, value;
  if (!name_arg(call, name)) return;
  pe::get(name, value);
  set_system_text(call, value);
}

void environment_set(Call& call) {
  std::u16string name;
  if (!name_arg(call, name)) return;
  const std::u16string value = files::wide_arg(call, 2);
  if (value.size() > kMaxEnvironmentValue) { fail(call.c, errs::kEnvironmentValueTooLong); return; }
  if (!pe::set(name, value)) { fail(call.c, errs::kEnvironSetRefused); return; }
  make_int(call.result, 1);
}

void environment_itemize(Call& call) { set_system_text(call, environment_lines(pe::entries())); }

}  // namespace

void register_environment(HandlerTable& t) {
  t.add(kw::fn_environment, environment_get);
  t.add(kw::fn_environset, environment_set);
  t.add(kw::fn_envitemize, environment_itemize);
}

}  // namespace orv::system
