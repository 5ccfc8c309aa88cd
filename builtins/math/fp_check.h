// Floating-point library calls checked the same way on every platform: the
// argument and the result decide the math error, so the product and the
// sanitizer build agree without a library error hook.
#pragma once
#include <cstdint>

namespace orv::math {

// Math error numbers (0 = none).
namespace fpe {
inline constexpr std::uint16_t kNone = 0, kDomain = 1341, kOverflow = 1342, kPartialLoss = 1343,
                               kSingularity = 1344, kTotalLoss = 1345, kOther = 1347;
}

// Largest magnitude a float result may have; smaller than it below the floor becomes 0.0.
inline constexpr double kFloatCeiling = 1e300;
inline constexpr double kFloatFloor = 1e-300;

// The error of a call and the value handed on: 1.0 after an error, 0.0 after underflow.
struct FpOutcome {
  std::uint16_t error = fpe::kNone;
  double value = 0.0;
};

// Classifies a library result from errno and the exception flags raised by the call.
FpOutcome classify(double result, int errnoValue, int raisedFlags);

// Which arguments a function accepts before the library is asked.
enum class Domain {
  any,
  non_negative,   // sqrt
  logarithm,      // < 0 domain, 0 singularity
  unit,           // asin, acos: |x| <= 1
  angle,          // sin, cos, tan: the argument must keep its significance modulo 2 pi
};
FpOutcome check_argument(Domain d, double x);

// Doubles at or above 2^52 are whole numbers, so an angle that large is known to
// a radian at best; from 2^55 on the spacing exceeds a whole turn.
inline constexpr double kPartialLossAngle = 4503599627370496.0;   // 2^52
inline constexpr double kTotalLossAngle = 36028797018963968.0;    // 2^55

// True when check_argument finds nothing wrong with `x` (NaN never is).
template <Domain D>
inline bool plainly_in_domain(double x) {
  if constexpr (D == Domain::any) return x == x;
  else if constexpr (D == Domain::non_negative) return x >= 0;
  else if constexpr (D == Domain::logarithm) return x > 0;
  else if constexpr (D == Domain::unit) return x >= -1.0 && x <= 1.0;
  else return x > -kPartialLossAngle && x < kPartialLossAngle;
}

// True when classify would pass a finite `result` on unchanged: its size
// lies between the floor and the ceiling.
inline bool plain_result(double result) {
  const double magnitude = result < 0 ? -result : result;
  return magnitude >= kFloatFloor && magnitude <= kFloatCeiling;
}

// Checks the argument, calls fn(x), classifies the result and leaves its error
// in `pending` unless an earlier error of the same call is there. Returns the
// value to store.
double checked_call(std::uint16_t& pending, double (*fn)(double), Domain d, double x);

// Checks a result computed without the library (sums, averages) the same way.
double checked_result(std::uint16_t& pending, double result);

}  // namespace orv::math
