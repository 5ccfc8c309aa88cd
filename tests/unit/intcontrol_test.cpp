// IntControl's generic rules: previous value as the answer, out-of-range
// values ignored, a second value kept only with an accepted setting, and the
// empty answer with 3171 for requests nobody handles.
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

class IntControlRules : public EngineTest {};

TEST_F(IntControlRules, SecondValueIsKeptOnlyWithAnAcceptedSetting) {
  EXPECT_EQ(eval(R"(IntControl(49, 2, 9, "", ""))"), "0");
  EXPECT_EQ(c.intSettings[49], 2);
  EXPECT_EQ(c.intSettingsP2[49], 9);
  EXPECT_EQ(eval(R"(IntControl(49, -5, 4, "", ""))"), "2");
  EXPECT_EQ(c.intSettings[49], 2);
  EXPECT_EQ(c.intSettingsP2[49], 9);
}

TEST_F(IntControlRules, ParametersAreReadAsIntegersFromTheirText) {
  EXPECT_EQ(eval(R"(IntControl(41, " 0", "", "", ""))"), "1");
  EXPECT_EQ(c.intSettings[41], 0);
  EXPECT_EQ(eval(R"(IntControl(41, "1x", "", "", ""))"), "0");   // not a number: 0, in range
  EXPECT_EQ(eval(R"(IntControl(41, 1, "", "", ""))"), "0");
  EXPECT_EQ(c.intSettings[41], 1);
}

TEST_F(IntControlRules, UnhandledRequestsFailWithAnEmptyAnswer) {
  for (const char* request : {"0", "2", "102", "-1", "55"}) {
    EXPECT_EQ(eval(std::string("IntControl(") + request + R"(, 0, 0, 0, 0))"), "error 3171") << request;
  }
  EXPECT_EQ(eval(R"(IntControl(100, 0, 0, 0, 0))"), "1");
  EXPECT_EQ(eval(R"(IntControl(83, 0, 0, 0, 0))"), "error 1748");
}

}  // namespace
}  // namespace orv::test
