// A handler for a one-argument library function of a float (type code 2).
#pragma once
#include "builtins/dispatch.h"
#include "builtins/math/fp_check.h"
#include "engine/value_ops.h"

namespace orv::math {

template <double (*Fn)(double), Domain D>
void unary_handler(Call& call) {
  make_float(call.result, checked_call(call.c.pendingMathError, Fn, D, call.args[1].wide.f));
}

}  // namespace orv::math
