// The after-statement step on its own: cancel and error handler routing,
// one-shot handlers and the structure-stack limit for handler frames.
#include "engine/error_handling.h"
#include "engine/statements.h"
#include "tests/unit/engine_fixture.h"

namespace orv::test {
namespace {

class ErrorWrapper : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    c.scripts[0]->text = "x = 1\n:cancel\ny = 2\n:qrerrorhandler\nz = 3\n";
    c.runFlags = api::kRunReportToHost;
    c.stmtPos = 0;
    c.pos = 6;
  }
  bool after(std::uint16_t error) {
    c.error = error;
    return after_statement(c);
  }
};

TEST_F(ErrorWrapper, CancelWithoutHandlerEndsTheScript) {
  EXPECT_FALSE(after(9999));
  EXPECT_EQ(c.error, 9999);
}

TEST_F(ErrorWrapper, CancelHandlerJumpsOnceToTheCancelLabel) {
  c.cancelHandlerMode = 1;
  EXPECT_TRUE(after(9999));
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(c.pos, 6u);   // the ":cancel" line
  EXPECT_EQ(c.cancelHandlerMode, 0);
  EXPECT_EQ(eval("qrerrortextstring"), "Cancel");
  EXPECT_EQ(eval("qrerroradditionalinfo"), "User pressed Cancel");
}

TEST_F(ErrorWrapper, CancelInsideAFunctionKeepsItsMode) {
  c.cancelHandlerMode = -1;
  EXPECT_TRUE(after(9999));
  EXPECT_EQ(c.cancelHandlerMode, -1);
}

TEST_F(ErrorWrapper, GosubHandlerPushesAFrameReturningAfterTheStatement) {
  c.errorHandlerMode = 2;
  EXPECT_TRUE(after(3062));
  EXPECT_EQ(c.depth, 1);
  EXPECT_EQ(c.stack[1].jump, 6u);
  EXPECT_EQ(c.pos, 20u);   // the ":qrerrorhandler" line
  EXPECT_EQ(c.reportedError, 3062u);
  EXPECT_EQ(eval("qrerrorhandleroffset"), "0");
}

TEST_F(ErrorWrapper, FullStackTurnsTheHandlerIntoItsOwnError) {
  c.errorHandlerMode = 2;
  c.depth = limits::kStructDepth;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(after(3062));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(c.error, 3619);
  c.error = 0;
  c.cancelHandlerMode = 2;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(after(9999));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(c.error, 3618);
  c.depth = 0;
}

TEST_F(ErrorWrapper, MissingHandlerLabelRestoresTheError) {
  c.scripts[0]->text = "x = 1\n";
  c.errorHandlerMode = 1;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(after(3062));
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(c.error, 3062);
  EXPECT_NE(report.find("3062"), std::string::npos);
}

TEST_F(ErrorWrapper, GosubHandlerWithoutItsLabelLeavesNoFrame) {
  c.scripts[0]->text = "x = 1\n";
  c.breakable = 1;
  c.errorHandlerMode = 2;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(after(3062));
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(c.error, 3062);
  EXPECT_EQ(c.depth, 0);
  EXPECT_EQ(c.breakable, 1);
  EXPECT_NE(report.find("3062"), std::string::npos);
  EXPECT_EQ(report.find("gosub"), std::string::npos) << report;
  // The cancel handler's GoSub form without a CANCEL label: the cancel stands, no frame stays.
  c.cancelHandlerMode = 2;
  EXPECT_FALSE(after(9999));
  EXPECT_EQ(c.error, 9999);
  EXPECT_EQ(c.depth, 0);
  EXPECT_EQ(c.breakable, 1);
}

TEST_F(ErrorWrapper, ControlCodesStopQuietlyAndRelayCodesGoOn) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(after(9000));
  EXPECT_FALSE(after(9013));
  c.realCode = 1234;
  EXPECT_TRUE(after(9998));
  EXPECT_EQ(c.lastStmtError, 1234);
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(ErrorWrapper, SeveritiesFollowTheNumber) {
  EXPECT_EQ(severity_of(2000), Severity::minor);
  EXPECT_EQ(severity_of(2001), Severity::moderate);
  EXPECT_EQ(severity_of(3000), Severity::moderate);
  EXPECT_EQ(severity_of(3001), Severity::severe);
}

}  // namespace
}  // namespace orv::test
