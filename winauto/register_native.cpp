// Off Windows there are no windows to find, keys to send or programs to start
// this way: the functions keep their table entries and answer 3046, except
// those a portable script may call to find out, which say the system lacks them.
#include "builtins/families.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv {
namespace {

void not_on_this_system(Call& call) { fail(call.c, errs::kNotOnThisWindows); }

}  // namespace

void register_winauto_functions(HandlerTable& t) {
  t.add(kw::fn_msgtextget, not_on_this_system);
  t.add(kw::fn_print, not_on_this_system);
}

}  // namespace orv
