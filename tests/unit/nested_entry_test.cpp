// A host may call back into the library while one of its own functions runs
// for a script (a window procedure reached through the message pump, a menu
// command): a second run or a termination of the same context then must not
// pull the running script, its compiled statements or the context away.
#include "tests/unit/host_fixture.h"

namespace orv::test {
namespace {

// What the host does from inside its StdOut.
enum class Reentry { run, terminate, reinit };
inline Reentry g_reentry = Reentry::run;
inline platform::MemHandle g_context = nullptr;
inline int g_innerResult = -1;

int ORV_CALL reentering_entry(api::Word, api::Word, std::uint32_t, int function, api::AnswerCallback answer, void* info,
                              api::Word*, api::Operand* args, int count, api::Value*) {
  if (function != 0 || count != 1 || !(args[0].flags & 2)) return -3;
  *g_output += std::string(g_heapBase + args[0].str) + "\n";
  switch (g_reentry) {
    case Reentry::run: {
      platform::MemHandle script = script_block("inner = 5\n");
      g_innerResult = ProcessDaBatBuffer(0, g_context, script, api::kRunReportToHost, nullptr);
      platform::mem_free(script);
      break;
    }
    case Reentry::terminate:
      g_innerResult = DoDaDllInit(0, g_context, api::kVersionWord, api::kTerminate, 0, 0, 0);
      break;
    case Reentry::reinit:
      g_innerResult = DoDaDllInit(0, g_context, api::kVersionWord, api::kInstanceInit, 0, 0, 0);
      break;
  }
  api::Value v{};
  v.flags = 1;
  v.i = 1;
  return answer(0, 0, info, &v);
}

class NestedEntryTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_context = context;
    g_innerResult = -1;
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&reentering_entry);
  }
  void TearDown() override {
    g_context = nullptr;
    HostTest::TearDown();
  }
  bool alive() {
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    const bool ok = head->magic == api::kContextMagic && head->impl != nullptr;
    platform::mem_unlock(context);
    return ok;
  }

  // A loop whose lines are compiled by their second pass, then the host call
  // inside it, then more compiled passes over the same lines.
  const std::string loopScript =
      "total = 0\n"
      "i = 0\n"
      "While i < 6\n"
      "   i = i + 1\n"
      "   total = total + i\n"
      "   If i == 3 Then stdout(\"call\")\n"
      "EndWhile\n"
      "after = total\n";
};

TEST_F(NestedEntryTest, ARunStartedWhileTheContextRunsIsRefusedAndTheOuterRunGoesOn) {
  g_reentry = Reentry::run;
  EXPECT_EQ(run(loopScript), 0u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(g_innerResult, 0);
  EXPECT_EQ(output, "call\n");
  EXPECT_EQ(variable("after"), "21");
  EXPECT_EQ(variable("inner"), "<none>");
  // The context serves the next run as usual.
  EXPECT_EQ(run("x = 1 + 1\nstdout(x)\n"), 0u);
  EXPECT_EQ(variable("x"), "2");
}

TEST_F(NestedEntryTest, TerminationDuringARunWaitsForTheRunToEnd) {
  g_reentry = Reentry::terminate;
  run(loopScript);
  EXPECT_EQ(g_innerResult, 1);
  EXPECT_EQ(output, "call\n");
  // The run was cut short at the next statement, then the context went.
  EXPECT_FALSE(alive());
}

TEST_F(NestedEntryTest, TerminationStopsTheRunAtTheNextStatement) {
  g_reentry = Reentry::terminate;
  // Every pass calls the host; only the first call gets to run.
  run("For i = 1 To 5\n  stdout(\"pass \" : i)\nNext\nstdout(\"after\")\n");
  EXPECT_EQ(g_innerResult, 1);
  EXPECT_EQ(output, "pass 1\n");
  EXPECT_FALSE(alive());
}

TEST_F(NestedEntryTest, InstanceInitialisationDuringARunIsRefused) {
  g_reentry = Reentry::reinit;
  EXPECT_EQ(run(loopScript), 0u);
  EXPECT_EQ(g_innerResult, 0);
  EXPECT_TRUE(alive());
  EXPECT_EQ(variable("after"), "21");
}

}  // namespace
}  // namespace orv::test
