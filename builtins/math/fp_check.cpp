#include "builtins/math/fp_check.h"

#include <cerrno>
#include <cfenv>
#include <cmath>


namespace orv::math {
namespace {

FpOutcome error(std::uint16_t number) { return {number, 1.0}; }

double record(std::uint16_t& pending, FpOutcome o) {
  if (o.error != fpe::kNone && pending == 0) pending = o.error;
  return o.value;
}

}  // namespace

FpOutcome classify(double result, int errnoValue, int raised) {
  if ((raised & FE_INVALID) || errnoValue == EDOM || std::isnan(result)) return error(fpe::kDomain);
  if (raised & FE_DIVBYZERO) return error(fpe::kSingularity);
  const double magnitude = std::fabs(result);
  if ((raised & FE_OVERFLOW) || magnitude > kFloatCeiling) return error(fpe::kOverflow);
  if (errnoValue == ERANGE && magnitude >= 1.0) return error(fpe::kOverflow);
  if (errnoValue != 0 && errnoValue != ERANGE) return error(fpe::kOther);
  // Underflow is no error: the result becomes 0.0 (every flagged underflow lies below the floor).
  if (magnitude < kFloatFloor) return {fpe::kNone, 0.0};
  return {fpe::kNone, result + 0.0};   // + 0.0 turns -0.0 into 0.0
}

FpOutcome check_argument(Domain d, double x) {
  if (std::isnan(x)) return error(fpe::kDomain);
  switch (d) {
    case Domain::any: break;
    case Domain::non_negative:
      if (x < 0) return error(fpe::kDomain);
      break;
    case Domain::logarithm:
      if (x < 0) return error(fpe::kDomain);
      if (x == 0) return error(fpe::kSingularity);
      break;
    case Domain::unit:
      if (std::fabs(x) > 1.0) return error(fpe::kDomain);
      break;
    case Domain::angle:
      if (std::isinf(x) || std::fabs(x) >= kTotalLossAngle) return error(fpe::kTotalLoss);
      if (std::fabs(x) >= kPartialLossAngle) return error(fpe::kPartialLoss);
      break;
  }
  return {fpe::kNone, x};
}

double checked_call(std::uint16_t& pending, double (*fn)(double), Domain d, double x) {
  FpOutcome pre = check_argument(d, x);
  if (pre.error != fpe::kNone) return record(pending, pre);
  // A finite result tells all (its size decides overflow and underflow), so
  // the costly flag and errno work is done only for a non-finite one: the
  // functions are pure, and the second call tells a singularity from an overflow.
  const double quick = fn(x);
  if (std::isfinite(quick)) return record(pending, classify(quick, 0, 0));
  errno = 0;
  std::feclearexcept(FE_ALL_EXCEPT);
  const double r = fn(x);
  const int raised = std::fetestexcept(FE_ALL_EXCEPT);
  const int err = errno;
  return record(pending, classify(r, err, raised));
}

double checked_result(std::uint16_t& pending, double result) { return record(pending, classify(result, 0, 0)); }

}  // namespace orv::math
