// Min, Max and Average of any number of numeric arguments.
#include <cstdint>
#include <cstdio>

#include "builtins/math/arg_list.h"
#include "builtins/math/fp_check.h"
#include "builtins/math/math_groups.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::math {
namespace {

// One argument as a number of the widest kind seen so far.
struct Number {
  bool isFloat = false;
  bool is64 = false;
  std::int64_t i = 0;
  double f = 0.0;
  double as_float() const { return isFloat ? f : static_cast<double>(i); }
};

// Reads a numeric argument the way integer parameters are read: 3057 names
// the argument that is not a number.
bool take_number(Context& c, int k, Operand& v, Number& out) {
  if (!to_numeric(c, v, true)) {
    if (c.error != errs::kNotConvertibleToNumber) return false;
    char text[64];
    std::snprintf(text, sizeof text, "Argument number %d could not be converted", k);
    c.error = 0;
    return fail(c, errs::kNotConvertibleToNumber, text);
  }
  out = Number{};
  if (v.flags & vf::kInt) out.i = v.i;
  else if (v.flags & vf::kInt64) { out.i = v.wide.i64; out.is64 = true; }
  else { out.f = v.wide.f; out.isFloat = true; }
  return true;
}

// a < b, compared as floats when either is one, as the arithmetic does.
bool less(const Number& a, const Number& b) {
  if (a.isFloat || b.isFloat) return a.as_float() < b.as_float();
  return a.i < b.i;
}

// The result takes the widest kind among the arguments: float, 64-bit, 32-bit.
void store(Call& call, const Number& n, bool anyFloat, bool any64) {
  Value& result = call.result;
  if (anyFloat) make_float(result, checked_result(call.c.pendingMathError, n.as_float()));
  else if (any64) make_int64(result, n.i);
  else make_int(result, static_cast<std::int32_t>(n.i));
}

template <bool WantMax>
void extreme_handler(Call& call) {
  Number best;
  bool anyFloat = false, any64 = false;
  const bool ok = read_arguments(call, [&](int k, Operand& v) {
    Number n;
    if (!take_number(call.c, k, v, n)) return false;
    anyFloat |= n.isFloat;
    any64 |= n.is64;
    if (k == 1 || (WantMax ? less(best, n) : less(n, best))) best = n;
    return true;
  });
  if (ok) store(call, best, anyFloat, any64);
}

// Always a float, even for whole averages.
void average_handler(Call& call) {
  double sum = 0.0;
  int count = 0;
  const bool ok = read_arguments(call, [&](int k, Operand& v) {
    Number n;
    if (!take_number(call.c, k, v, n)) return false;
    sum += n.as_float();
    count = k;
    return true;
  });
  if (ok) make_float(call.result, checked_result(call.c.pendingMathError, sum / count));
}

}  // namespace

void register_minmax(HandlerTable& t) {
  t.add(kw::fn_min, extreme_handler<false>);
  t.add(kw::fn_max, extreme_handler<true>);
  t.add(kw::fn_average, average_handler);
  for (int id : {kw::fn_min, kw::fn_max, kw::fn_average}) t.takesCompiledArguments[static_cast<std::size_t>(id)] = true;
}

}  // namespace orv::math
