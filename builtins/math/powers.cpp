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
  t.add(kw::fn_sqrt, unary_handler<sqrt_fn, Domain::non_negative>);
  t.add(kw::fn_exp, unary_handler<exp_fn, Domain::any>);
  t.add(kw::fn_loge, unary_handler<log_fn, Domain::logarithm>);
  t.add(kw::fn_log10, unary_handler<log10_fn, Domain::logarithm>);
}

}  // namespace orv::math
