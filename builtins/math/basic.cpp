// Abs, Fabs, Int, Ceiling, Floor: sign and rounding.
#include <cmath>
#include <cstdint>

#include "builtins/math/fp_check.h"
#include "builtins/math/math_groups.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::math {
namespace {

// Integer argument: negation wraps at the 32-bit limit like unary minus.
void abs_handler(Call& call) {
  const std::int32_t x = call.args[1].i;
  make_int(call.result, x < 0 ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(x)) : x);
}

// Float results obey the same limits as the library calls (a literal may exceed them).
void fabs_handler(Call& call) { make_float(call.result, checked_result(call.c.pendingMathError, std::fabs(call.args[1].wide.f))); }

// Truncates toward zero, as the C conversion to int does; the coercion of
// integer parameters rounds instead, so Int is the way to drop the fraction.
void int_handler(Call& call) {
  const double t = std::trunc(call.args[1].wide.f);
  if (!(t >= -2147483648.0 && t <= 2147483647.0)) { fail(call.c, fpe::kOverflow); return; }
  make_int(call.result, static_cast<std::int32_t>(t));
}

void ceiling_handler(Call& call) { make_float(call.result, checked_result(call.c.pendingMathError, std::ceil(call.args[1].wide.f))); }
void floor_handler(Call& call) { make_float(call.result, checked_result(call.c.pendingMathError, std::floor(call.args[1].wide.f))); }

}  // namespace

void register_basic(HandlerTable& t) {
  t.add(kw::fn_abs, abs_handler);
  t.add(kw::fn_fabs, fabs_handler);
  t.add(kw::fn_int, int_handler);
  t.add(kw::fn_ceiling, ceiling_handler);
  t.add(kw::fn_floor, floor_handler);
}

}  // namespace orv::math
