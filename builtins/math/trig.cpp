// Sin, Cos, Tan, ASin, ACos, ATan and the hyperbolic Sinh, Cosh, Tanh (radians).
#include <cmath>

#include "builtins/math/math_groups.h"
#include "builtins/math/unary.h"
#include "engine/keyword_ids.h"

namespace orv::math {
namespace {

double sin_fn(double x) { return std::sin(x); }
double cos_fn(double x) { return std::cos(x); }
double tan_fn(double x) { return std::tan(x); }
double asin_fn(double x) { return std::asin(x); }
double acos_fn(double x) { return std::acos(x); }
double atan_fn(double x) { return std::atan(x); }
double sinh_fn(double x) { return std::sinh(x); }
double cosh_fn(double x) { return std::cosh(x); }
double tanh_fn(double x) { return std::tanh(x); }

}  // namespace

void register_trig(HandlerTable& t) {
  add_unary<sin_fn, Domain::angle>(t, kw::fn_sin);
  add_unary<cos_fn, Domain::angle>(t, kw::fn_cos);
  add_unary<tan_fn, Domain::angle>(t, kw::fn_tan);
  add_unary<asin_fn, Domain::unit>(t, kw::fn_asin);
  add_unary<acos_fn, Domain::unit>(t, kw::fn_acos);
  add_unary<atan_fn, Domain::any>(t, kw::fn_atan);
  add_unary<sinh_fn, Domain::any>(t, kw::fn_sinh);
  add_unary<cosh_fn, Domain::any>(t, kw::fn_cosh);
  add_unary<tanh_fn, Domain::any>(t, kw::fn_tanh);
}

}  // namespace orv::math
