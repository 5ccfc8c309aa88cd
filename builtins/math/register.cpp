#include "builtins/families.h"
#include "builtins/math/math_groups.h"

namespace orv {

void register_math_functions(HandlerTable& t) {
  math::register_basic(t);
  math::register_powers(t);
  math::register_trig(t);
  math::register_minmax(t);
  math::register_random(t);
  math::register_conversions(t);
  math::register_decimals(t);
}

}  // namespace orv
