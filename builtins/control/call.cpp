// Call: runs another script file in the current variable frame.
#include "builtins/families.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/runloop.h"
#include "engine/value_ops.h"

namespace orv {
namespace {

void call_handler(Call& call) {
  Context& c = call.c;
  std::string file;
  const Operand& name = call.args[1];
  if (name.flags & vf::kStr) file = str_of(c, name);
  else if (!platform::utf16_to_ansi(wstr_view(c, name), file)) { fail(c, errs::kNotConvertibleToString); return; }
  call_script(c, file, call.args[2], call.result);
}

}  // namespace

void register_control_functions(HandlerTable& t) { t.add(kw::fn_call, call_handler); }

}  // namespace orv
