// Sqrt, Exp, LogE, Log10.
#include <cmath>

#include "builtins/math/math_groups.h"
#include "builtins/math/unary.h"
#include "engine/keyword_ids.h"

namespace orv::math {
namespace {

double sqrt_fn(double x) { return std::sqrt(x); }
double exp_fn(double x) { return std::exp(x); }
double log_fn(double x) { return std::log(x); }
double log10_fn(double x) { return std::log10(x); }

}  // namespace

void register_powers(HandlerTable& t) {
  add_unary<sqrt_fn, Domain::non_negative>(t, kw::fn_sqrt);
  add_unary<exp_fn, Domain::any>(t, kw::fn_exp);
  add_unary<log_fn, Domain::logarithm>(t, kw::fn_loge);
  add_unary<log10_fn, Domain::logarithm>(t, kw::fn_log10);
}

}  // namespace orv::math
