// The arithmetic of two numbers of which one is a float: one rule for the
// evaluator and the compiled number form.
#pragma once
#include <cmath>
#include <cstdint>

#include "engine/error_numbers.h"
#include "engine/keywords.h"

namespace orv {

struct FloatOutcome {
  std::uint16_t error = 0;   // the error the operation reports (0: none)
  bool whole = false;        // && and || answer a whole number
  double value = 0;
};

// Inline where it runs: the number form applies it to every operator.
[[gnu::always_inline]] inline FloatOutcome float_rule(int op, double a, double b) {
  FloatOutcome o;
  double r = 0;
  switch (op) {
    case id::kPlus: r = a + b; break;
    case id::kMinus: r = a - b; break;
    case id::kStar: r = a * b; break;
    case id::kSlash:
      if (b == 0) { o.error = errs::kDivideByZero; return o; }
      r = a / b;
      break;
    case id::kMod:
      if (b == 0) { o.error = errs::kDivideByZero; return o; }
      r = a - std::trunc(a / b) * b;
      break;
    case id::kPow:
      r = std::pow(a, b);
      if (std::isnan(r)) { o.error = errs::kFpDomain; return o; }
      break;
    case id::kAndAnd: o.whole = true; o.value = a != 0 && b != 0; return o;
    case id::kBarBar: o.whole = true; o.value = a != 0 || b != 0; return o;
    default: o.error = errs::kBadBinaryOperand; return o;
  }
  if (std::isnan(r)) { o.error = errs::kFpNotANumber; return o; }
  if (std::fabs(r) > 1e300) { o.error = errs::kFpOverflow; return o; }
  if (std::fabs(r) < 1e-300) r = 0.0;
  o.value = r;
  return o;
}

}  // namespace orv
