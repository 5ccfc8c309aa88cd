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

// The same on a number already in hand; a math error is left to the general call.
// An argument inside the domain with a result of plain size (the common case)
// needs none of checked_call's classification.
template <double (*Fn)(double), Domain D>
bool unary_float(double x, double& out) {
  if (plainly_in_domain<D>(x)) {
    const double r = Fn(x);
    if (plain_result(r)) {
      out = r;
      return true;
    }
  }
  std::uint16_t error = fpe::kNone;
  out = checked_call(error, Fn, D, x);
  return error == fpe::kNone;
}

template <double (*Fn)(double), Domain D>
void add_unary(HandlerTable& t, int id) {
  t.add(id, unary_handler<Fn, D>);
  t.byIdFloat[static_cast<std::size_t>(id)] = unary_float<Fn, D>;
}

}  // namespace orv::math
