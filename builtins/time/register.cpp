#include "builtins/families.h"
#include "builtins/time/time_groups.h"

namespace orv {

void register_time_functions(HandlerTable& t) {
  timefn::register_arithmetic(t);
  timefn::register_clock(t);
  timefn::register_format(t);
  timefn::register_waits(t);
}

}  // namespace orv
