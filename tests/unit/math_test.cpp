// The math family: the floating-point error mapping, and the handlers'
// error texts, pending-error hand-over and argument reading.
#include <cerrno>
#include <cfenv>
#include <atomic>
#include <cmath>
#include <thread>
#include <utility>

#include "builtins/dispatch.h"
#include "builtins/math/fp_check.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

using namespace orv::math;

TEST(FpClassify, ExceptionFlagsAndErrnoMapToMathErrors) {
  EXPECT_EQ(classify(1.0, 0, FE_INVALID).error, 1341);
  EXPECT_EQ(classify(1.0, EDOM, 0).error, 1341);
  EXPECT_EQ(classify(std::nan(""), 0, 0).error, 1341);
  EXPECT_EQ(classify(-HUGE_VAL, ERANGE, FE_DIVBYZERO).error, 1344);
  EXPECT_EQ(classify(HUGE_VAL, ERANGE, FE_OVERFLOW).error, 1342);
  EXPECT_EQ(classify(HUGE_VAL, 0, 0).error, 1342);
  EXPECT_EQ(classify(HUGE_VAL, ERANGE, 0).error, 1342);
  EXPECT_EQ(classify(2.0, EILSEQ, 0).error, 1347);
  // An error hands on the replacement value 1.0.
  EXPECT_EQ(classify(HUGE_VAL, 0, FE_OVERFLOW).value, 1.0);
}

TEST(FpClassify, ResultLimitsFollowTheArithmetic) {
  EXPECT_EQ(classify(1.5e300, 0, 0).error, 1342);
  EXPECT_EQ(classify(-1.5e300, 0, 0).error, 1342);
  const FpOutcome top = classify(1e300, 0, 0);
  EXPECT_EQ(top.error, 0);
  EXPECT_EQ(top.value, 1e300);
  // Underflow, flagged or not, is no error and gives 0.0.
  for (const FpOutcome o : {classify(1e-310, ERANGE, FE_UNDERFLOW | FE_INEXACT), classify(-5e-301, 0, 0)}) {
    EXPECT_EQ(o.error, 0);
    EXPECT_EQ(o.value, 0.0);
    EXPECT_FALSE(std::signbit(o.value));
  }
  // Inexact alone is the normal case; -0.0 is handed on as 0.0.
  EXPECT_EQ(classify(0.25, 0, FE_INEXACT).error, 0);
  EXPECT_EQ(classify(0.25, 0, FE_INEXACT).value, 0.25);
  EXPECT_FALSE(std::signbit(classify(-0.0, 0, 0).value));
}

TEST(FpClassify, ArgumentDomains) {
  EXPECT_EQ(check_argument(Domain::non_negative, -1e-9).error, 1341);
  EXPECT_EQ(check_argument(Domain::non_negative, 0.0).error, 0);
  EXPECT_EQ(check_argument(Domain::logarithm, -1).error, 1341);
  EXPECT_EQ(check_argument(Domain::logarithm, 0).error, 1344);
  EXPECT_EQ(check_argument(Domain::logarithm, 1e-300).error, 0);
  EXPECT_EQ(check_argument(Domain::unit, 1.0).error, 0);
  EXPECT_EQ(check_argument(Domain::unit, -1.0).error, 0);
  EXPECT_EQ(check_argument(Domain::unit, std::nextafter(1.0, 2.0)).error, 1341);
  const double p52 = std::ldexp(1.0, 52), p55 = std::ldexp(1.0, 55);
  EXPECT_EQ(check_argument(Domain::angle, std::nextafter(p52, 0.0)).error, 0);
  EXPECT_EQ(check_argument(Domain::angle, -p52).error, 1343);
  EXPECT_EQ(check_argument(Domain::angle, std::nextafter(p55, 0.0)).error, 1343);
  EXPECT_EQ(check_argument(Domain::angle, p55).error, 1345);
  EXPECT_EQ(check_argument(Domain::any, std::nan("")).error, 1341);
}

class FpCall : public ::testing::Test {
 protected:
  double call(double (*fn)(double), Domain d, double x) { return checked_call(pending, fn, d, x); }
  std::uint16_t take_pending_math_error() { return std::exchange(pending, std::uint16_t{0}); }
  std::uint16_t pending = 0;
};

double lib_sqrt(double x) { return std::sqrt(x); }
double lib_exp(double x) { return std::exp(x); }
double lib_log(double x) { return std::log(x); }
double lib_cosh(double x) { return std::cosh(x); }
double lib_acos(double x) { return std::acos(x); }

TEST_F(FpCall, LibraryFailuresBecomeThePendingError) {
  struct Case { double (*fn)(double); Domain d; double x; std::uint16_t error; };
  const Case cases[] = {
      {lib_sqrt, Domain::any, -1.0, 1341},          // the library's own report, no pre-check
      {lib_sqrt, Domain::non_negative, -1.0, 1341},
      {lib_log, Domain::any, 0.0, 1344},
      {lib_log, Domain::any, -3.0, 1341},
      {lib_exp, Domain::any, 1000.0, 1342},
      {lib_exp, Domain::any, 700.0, 1342},           // finite, above the float limit
      {lib_cosh, Domain::any, -800.0, 1342},
      {lib_acos, Domain::any, 2.0, 1341},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(call(k.fn, k.d, k.x), 1.0) << k.x;
    EXPECT_EQ(take_pending_math_error(), k.error) << k.x;
  }
}

TEST_F(FpCall, GoodAndUnderflowingCallsLeaveNoError) {
  EXPECT_EQ(call(lib_sqrt, Domain::non_negative, 2.25), 1.5);
  EXPECT_EQ(call(lib_exp, Domain::any, -1000.0), 0.0);
  EXPECT_EQ(call(lib_exp, Domain::any, -700.0), 0.0);   // 9.9e-305: below the floor
  EXPECT_NEAR(call(lib_log, Domain::logarithm, std::exp(1.0)), 1.0, 1e-15);
  EXPECT_EQ(take_pending_math_error(), 0);
  // Flags left over from earlier work do not leak into a call.
  std::feraiseexcept(FE_OVERFLOW | FE_INVALID);
  errno = ERANGE;
  EXPECT_EQ(call(lib_sqrt, Domain::any, 4.0), 2.0);
  EXPECT_EQ(take_pending_math_error(), 0);
}

TEST_F(FpCall, TheFirstErrorOfACallStands) {
  call(lib_log, Domain::logarithm, 0.0);
  call(lib_exp, Domain::any, 1000.0);
  EXPECT_EQ(checked_result(pending, 1e301), 1.0);
  EXPECT_EQ(take_pending_math_error(), 1344);
  EXPECT_EQ(take_pending_math_error(), 0);
}

using MathFunctions = EngineTest;

TEST_F(MathFunctions, ArgumentErrorsNameTheArgument) {
  struct Case { const char* text; const char* result; const char* errorText; };
  const Case cases[] = {
      {"abs(\"abc\")", "error 3057", "Argument number 1 could not be converted"},
      {"min(1, 2, \"abc\", 4)", "error 3057", "Argument number 3 could not be converted"},
      {"average(\"x\")", "error 3057", "Argument number 1 could not be converted"},
      {"max(1 2)", "error 3066", "or missing parenthesis"},
      {"max()", "error 3068", "Function may need more parameters, or a period was used when a comma was expected"},
      {"sqrt(-1)", "error 1341", ""},
      {"fabs(\"1x\")", "error 3340", ""},
      {"max(1, \"1e999\")", "error 1342", ""},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(eval(k.text), k.result) << k.text;
    EXPECT_EQ(c.errorText, k.errorText) << k.text;
  }
}

TEST_F(MathFunctions, PendingErrorEndsOnlyItsOwnCall) {
  EXPECT_EQ(eval("x = exp(1000)"), "error 1342");
  EXPECT_EQ(c.pendingMathError, 0);
  EXPECT_EQ(eval("exp(0) + 1"), "2.0");
  EXPECT_EQ(eval("x = 1 + loge(0) + 5"), "error 1344");
  EXPECT_EQ(eval("sqrt(9)"), "3.0");
}

TEST_F(MathFunctions, PendingErrorBelongsToItsContext) {
  // Another context's call, still running on its own thread, has an error pending.
  Context other;
  checked_call(other.pendingMathError, lib_log, Domain::any, 0.0);
  EXPECT_EQ(eval("sqrt(9)"), "3.0");
  EXPECT_EQ(eval("1 + loge(0)"), "error 1344");
  EXPECT_EQ(other.pendingMathError, 1344);
  EXPECT_EQ(c.pendingMathError, 0);
}

TEST_F(MathFunctions, ContextsOnTwoThreadsKeepTheirOwnPendingError) {
  // The other thread's context fails call after call while this one's calls
  // succeed and fail by their own arguments only.
  ASSERT_EQ(eval("sqrt(9)"), "3.0");   // process-wide tables are built before the second thread
  Context other;
  std::atomic<bool> stop{false};
  std::atomic<int> otherWrong{0};
  std::thread failing([&] {
    while (!stop.load()) {
      checked_call(other.pendingMathError, lib_exp, Domain::any, 1000.0);
      if (std::exchange(other.pendingMathError, std::uint16_t{0}) != 1342) ++otherWrong;
    }
  });
  int wrong = 0;
  for (int i = 0; i < 2000; ++i) {
    if (eval("sqrt(16) + exp(0)") != "5.0") ++wrong;
    if (eval("1 + loge(0)") != "error 1344") ++wrong;
  }
  stop = true;
  failing.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(otherWrong.load(), 0);
  EXPECT_EQ(c.pendingMathError, 0);
}

TEST_F(MathFunctions, SelfReadArgumentsLeaveTheRestOfTheExpression) {
  EXPECT_EQ(eval("max(1, 2) + 10"), "12");
  EXPECT_EQ(eval("min(5, max(2, 3) * 2, 7) : \"!\""), "5!");
  EXPECT_EQ(eval("abs(min(-4, -9))"), "9");
  EXPECT_EQ(eval("average((1 + 2), 3) == 3"), "1");
  EXPECT_EQ(eval("max(1, 2) 3"), "leftover");
}

TEST_F(MathFunctions, TemporariesAreReleased) {
  ASSERT_EQ(eval("s = \"25\""), "0");   // an assignment answers 0
  const std::uint32_t inUse = c.heap.bytes_in_use();
  EXPECT_EQ(eval("max(s, \"7\" : \"0\", s)"), "70");
  EXPECT_EQ(eval("average(s, \"x\")"), "error 3057");
  EXPECT_EQ(eval("min(s, \"1\""), "error 3066");
  EXPECT_EQ(eval("isnumber(s : \"1\") + sqrt(\"16\")"), "5.0");
  EXPECT_EQ(c.heap.bytes_in_use(), inUse);
}

TEST_F(MathFunctions, ResultKinds) {
  EXPECT_EQ(flags_of("max(1, 2)"), vf::kInt);
  EXPECT_EQ(flags_of("max(1, 2.5)"), vf::kFloat);
  EXPECT_EQ(flags_of("min(1, 9000000000)"), vf::kInt64);
  EXPECT_EQ(flags_of("average(2, 2)"), vf::kFloat);
  EXPECT_EQ(flags_of("int64(1)"), vf::kInt64);
  EXPECT_EQ(flags_of("int(1.5)"), vf::kInt);
  EXPECT_EQ(flags_of("floor(1)"), vf::kFloat);
  EXPECT_EQ(flags_of("isfloat(\"1.5\")"), vf::kInt);
}

TEST_F(MathFunctions, DecimalsSetsTheContextAndAnswersThePrevious) {
  EXPECT_EQ(eval("Decimals(3)"), "-1");
  EXPECT_EQ(c.decimals, 3);
  EXPECT_EQ(eval("1.5 * 1"), "1.500");
  EXPECT_EQ(eval("Decimals(-5)"), "error 1341");
  EXPECT_EQ(c.decimals, 3);
  EXPECT_EQ(eval("Decimals(-1)"), "3");
}

}  // namespace
}  // namespace orv::test
