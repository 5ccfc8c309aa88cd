// The debug window's Show: an expression typed while a statement waits to run
// borrows the scanner and must leave that statement and the error state as
// they were, whatever the expression does.
#include "engine/trace/stepping.h"
#include "tests/unit/engine_fixture.h"
#include "tests/unit/host_fixture.h"

namespace orv::test {
namespace {

class SteppingTest : public EngineTest {
 protected:
  // A statement read into the line buffer and not scanned yet, as the run
  // loop holds it while the window is up.
  void wait_at(const char* statement) {
    std::strncpy(c.line, statement, sizeof c.line - 1);
    c.prog = c.line;
    c.tokKind = tk::kEnd;
  }
};

TEST_F(SteppingTest, ShowsTypedValuesOfVariablesAndExpressions) {
  eval("a = 6");
  eval("s = \"abc\"");
  eval("f = 1.5");
  ASSERT_EQ(eval("a : s : f"), "6abc1.5");
  wait_at("b = a + 1");
  EXPECT_EQ(trace::shown_value(c, "a"), "INT => 6");
  EXPECT_EQ(trace::shown_value(c, "  a * 2"), "INT => 12");
  EXPECT_EQ(trace::shown_value(c, "s : \"d\""), "STRING => abcd");
  EXPECT_EQ(trace::shown_value(c, "StrLen(s)"), "INT => 3");
  EXPECT_EQ(trace::shown_value(c, "f").rfind("FLOAT => 1.5", 0), 0u);
  EXPECT_EQ(trace::shown_value(c, "   "), "");
}

TEST_F(SteppingTest, ErrorsAreShownNotRaised) {
  wait_at("b = a + 1");
  const std::string undefined = trace::shown_value(c, "nosuchvar");
  EXPECT_EQ(undefined.rfind("Error ", 0), 0u) << undefined;
  EXPECT_EQ(c.error, 0);
  EXPECT_EQ(trace::shown_value(c, "1 +").rfind("Error ", 0), 0u);
  EXPECT_EQ(trace::shown_value(c, "1 2"), "Error: more than one expression");
  EXPECT_EQ(trace::shown_value(c, std::string(3000, 'x')), "Expression too long");
  // An error already set (a handler looking at it) survives a Show.
  c.error = 1234;
  c.errorText = "kept";
  EXPECT_EQ(trace::shown_value(c, "1 / 0").rfind("Error ", 0), 0u);
  EXPECT_EQ(c.error, 1234);
  EXPECT_EQ(c.errorText, "kept");
  c.error = 0;
}

TEST_F(SteppingTest, TheWaitingStatementRunsAsIfNothingWasShown) {
  eval("a = 6");
  ASSERT_EQ(eval("a"), "6");
  wait_at("b = a + 1");
  trace::shown_value(c, "StrCat(\"a long expression that overwrites the line buffer\", a, a, a)");
  trace::shown_value(c, "nosuchvar");
  EXPECT_STREQ(c.line, "b = a + 1");
  EXPECT_EQ(c.prog, c.line);
  EXPECT_EQ(c.tokKind, tk::kEnd);
  {
    get_token(c);
    Temp out(c);
    ASSERT_TRUE(process_sub_expression(c, out.op(), true, false));
  }
  EXPECT_EQ(eval("b"), "7");
}

// Without a display (always so natively) stepping is refused when it is asked
// for, before any statement runs unwatched; asking and switching off work.
class DebugSwitchTest : public HostTest {};

TEST_F(DebugSwitchTest, SwitchingOnWithoutADisplayFailsAtOnce) {
  EXPECT_EQ(run("a = Debug(-1)\nb = Debug(0)\nDebug(1)\nx = 1\n"), 3104u);
  EXPECT_EQ(variable("a"), "0");
  EXPECT_EQ(variable("b"), "0");
  EXPECT_EQ(variable("x"), "<none>");
  EXPECT_EQ(run("Debug(2)\n"), 1809u);
}

}  // namespace
}  // namespace orv::test
