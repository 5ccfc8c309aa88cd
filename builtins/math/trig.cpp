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
  t.add(kw::fn_sin, unary_handler<sin_fn, Domain::angle>);
  t.add(kw::fn_cos, unary_handler<cos_fn, Domain::angle>);
  t.add(kw::fn_tan, unary_handler<tan_fn, Domain::angle>);
  t.add(kw::fn_asin, unary_handler<asin_fn, Domain::unit>);
  t.add(kw::fn_acos, unary_handler<acos_fn, Domain::unit>);
  t.add(kw::fn_atan, unary_handler<atan_fn, Domain::any>);
  t.add(kw::fn_sinh, unary_handler<sinh_fn, Domain::any>);
  t.add(kw::fn_cosh, unary_handler<cosh_fn, Domain::any>);
  t.add(kw::fn_tanh, unary_handler<tanh_fn, Domain::any>);
}

}  // namespace orv::math
