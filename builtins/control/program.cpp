// Yields, Exclusive and IsLicensed: the run's share of the system.
#include "engine/outside_code.h"
#include "builtins/families.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv {
namespace {

// As the Yield command n times; a user break ends the wait at once.
void yields(Call& call) {
  Context& c = call.c;
  for (std::int32_t k = 0; k < call.args[1].i && !c.cancelRequested; ++k)
    if (pump_window_messages(c, !c.noYield) && !c.noCancel) c.cancelRequested = true;
  make_int(call.result, 1);
}

// A script never takes the processor from other programs here: the switch
// only remembers what the script last asked for.
void exclusive(Call& call) {
  make_int(call.result, call.c.exclusive ? 1 : 0);
  call.c.exclusive = call.args[1].i != 0;
}

void is_licensed(Call& call) { make_int(call.result, 1); }

}  // namespace

void register_program_functions(HandlerTable& t) {
  t.add(kw::fn_yields, yields);
  t.add(kw::fn_exclusive, exclusive);
  t.add(kw::fn_islicensed, is_licensed);
}

}  // namespace orv
