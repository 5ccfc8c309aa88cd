// Whole runs through the exported entry points, as a host drives them:
// statements, Call, preparation failures and resource exhaustion.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/orv_api.h"
#include "platform/platform.h"

namespace orv {
namespace {

std::string* g_output = nullptr;   // the running test's capture (tests run one at a time)
char* g_heapBase = nullptr;

int ORV_CALL test_host_entry(api::Word, api::Word, std::uint32_t, int function, api::AnswerCallback answer,
                             void* info, api::Word*, api::Operand* args, int count, api::Value*) {
  if (function != 0 || count != 1 || !(args[0].flags & 2)) return -3;
  *g_output += std::string(g_heapBase + args[0].str) + "\n";
  api::Value v{};
  v.flags = 1;
  v.i = 1;
  return answer(0, 0, info, &v);
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_output = &output;
    ASSERT_EQ(DoDaDllInit(0, nullptr, api::kVersionWord, api::kHandshake, 0, 0, 0), 66920);
    context = platform::mem_alloc(api::kContextBlockSize);
    ASSERT_EQ(DoDaDllInit(0, context, api::kVersionWord, api::kInstanceInit, 0, 0, 0), 76);
    heap = platform::vm_reserve(64u << 20);
    ASSERT_EQ(platform::vm_commit(heap, 65536), 0u);
    g_heapBase = static_cast<char*>(heap);
    book = {65536, heap};
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(heap), api::kHeapInit, 65536, 0,
                          reinterpret_cast<api::Word>(&book)), 1);
    table = platform::mem_alloc(500 * 76);
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(table), api::kRunInit, 500, 0, 0), 1);
    std::memset(hostTable, 0, sizeof hostTable);
    hostTable[0].id = 1000;
    hostTable[0].kind = 2;
    hostTable[0].argTypes = 1;   // one ANSI string
    hostTable[0].counts = 1;
    hostTable[0].nameLength = 6;
    std::strcpy(hostTable[0].name, "stdout");
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&test_host_entry);
  }

  void TearDown() override {
    DoDaDllInit(0, context, api::kVersionWord, api::kTerminate, 0, 0, 0);
    platform::mem_free(table);
    platform::mem_free(context);
    platform::set_commit_limit(0);
    platform::vm_release(heap);
    g_output = nullptr;
  }

  // Runs a script text; returns the error number that ended it (0 = none).
  std::uint32_t run(const std::string& text, std::uint32_t flags = api::kRunReportToHost) {
    platform::MemHandle script = platform::mem_alloc(text.size() + 1);
    std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
    platform::mem_unlock(script);
    ran = ProcessDaBatBuffer(0, context, script, flags, hostTable);
    platform::mem_free(script);
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    std::uint32_t err = head->lastError;
    platform::mem_unlock(context);
    return err;
  }

  std::string variable(const char* name) {
    char buf[256] = {};
    if (!DLLServices(context, 2, const_cast<char*>(name), buf, sizeof buf, 0)) return "<none>";
    return buf;
  }

  std::string output;
  int ran = 0;
  platform::MemHandle context = nullptr, table = nullptr;
  void* heap = nullptr;
  api::HeapBookkeeping book{};
  api::KeywordRecord hostTable[2];
};

TEST_F(RunTest, StructuresDriveTheReadPosition) {
  EXPECT_EQ(run("t = 0\nFor i = 1 To 4\n  j = 0\n  While j < i\n    j += 1\n    If j == 3 Then Break\n"
                "    t += j\n  EndWhile\nNext\n"),
            0u);
  EXPECT_EQ(variable("t"), "10");   // 1 + (1+2) + (1+2) + (1+2)
  EXPECT_EQ(variable("i"), "5");
}

TEST_F(RunTest, SingleLineIfAndElseRunExactlyOneBranch) {
  EXPECT_EQ(run("x = 1\nIf x == 2 Then a = 1\nElse a = 2\nIf x == 1 Then b = 1\nElse b = 2\n"), 0u);
  EXPECT_EQ(variable("a"), "2");
  EXPECT_EQ(variable("b"), "1");
}

TEST_F(RunTest, GotoIsRewrittenAndStillJumpsOnItsSecondPass) {
  EXPECT_EQ(run("n = 0\n:top\nn += 1\nIf n < 3 Then GoTo top\nGoSub s\nGoSub s\nExit\n:s\nm = n\nReturn\n"), 0u);
  EXPECT_EQ(variable("n"), "3");
  EXPECT_EQ(variable("m"), "3");
}

TEST_F(RunTest, HostFunctionsReceiveCoercedArguments) {
  EXPECT_EQ(run("StdOut(1 + 1)\nStdOut(\"a\" : 2.5)\n"), 0u);
  EXPECT_EQ(output, "2\na2.5\n");
}

TEST_F(RunTest, ErrorsStopTheRunAndNameTheirNumber) {
  EXPECT_EQ(run("StdOut(\"a\")\nx = nope\nStdOut(\"b\")\n"), 3052u);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(output, "a\n");
  EXPECT_EQ(run("Exit\n"), 0u);
  EXPECT_EQ(run("Return\nx = 1\n"), 0u);
}

TEST_F(RunTest, PreparationFailuresReturnZero) {
  EXPECT_EQ(run("\x01garbage"), 219u);
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(run("#include \"/no/such/file.orv\"\n", api::kRunReportToHost | api::kRunIncludeOption), 217u);
  EXPECT_EQ(ran, 0);
}

TEST_F(RunTest, StringHeapThatCannotGrowEndsTheRunCleanly) {
  platform::set_commit_limit(65536);
  EXPECT_EQ(run("s = \"xxxxxxxxxxxxxxxx\"\nWhile 1\n  s = s : s\nEndWhile\n"), 3096u);
  EXPECT_EQ(ran, 1);
  platform::set_commit_limit(0);
  EXPECT_EQ(run("StdOut(\"again\")\n"), 0u);
  EXPECT_EQ(output, "again\n");
}

TEST_F(RunTest, CallRunsAFileInTheSameFrame) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "orv_run_test";
  fs::create_directories(dir);
  std::ofstream(dir / "callee.orv") << "seen = shared\nReturn param1 + param2\n";
  std::ofstream(dir / "loop.orv") << "depth += 1\nx = Call(\"loop.orv\", \"\")\n";
  std::string head = ";\x0C@" + (dir / "main.orv").string() + "\n";
  EXPECT_EQ(run(head + "shared = 5\nr = Call(\"callee.orv\", \"2 3\")\n"), 0u);
  EXPECT_EQ(variable("r"), "5");
  EXPECT_EQ(variable("seen"), "5");
  // Endless recursion through Call stops at the structure limit.
  EXPECT_EQ(run(head + "depth = 0\nx = Call(\"loop.orv\", \"\")\n"), 3353u);
  fs::remove_all(dir);
}

TEST_F(RunTest, ParametersFromTheHost) {
  char a1[] = "one", a2[] = "two words";
  char* argv[] = {a1, a2, nullptr};
  EXPECT_EQ(DLLServices(context, 11, nullptr, argv, 0, 0), 1);
  EXPECT_EQ(run("n = Param0\nb = param2\n"), 0u);
  EXPECT_EQ(variable("n"), "2");
  EXPECT_EQ(variable("b"), "two words");
}

TEST_F(RunTest, ErrorWrapperSuppressesMinorErrorsOnlyUnderOff) {
  EXPECT_EQ(run("ErrorMode(@OFF)\nErrorEvent(-1, 7005, \"m\")\na = LastError()\nb = LastError()\n"
                "c = qrerrorarray[0]\n"),
            0u);
  EXPECT_EQ(variable("a"), "1668");
  EXPECT_EQ(variable("b"), "0");
  EXPECT_EQ(variable("c"), "7005");
  EXPECT_EQ(run("ErrorMode(@NOTIFY)\nErrorEvent(-1, 7005, \"m\")\nd = 1\n"), 1668u);
  EXPECT_EQ(variable("d"), "<none>");
  EXPECT_EQ(run("ErrorMode(@OFF)\nx = 1 / 0\ne = 1\n"), 3062u);
  EXPECT_EQ(variable("e"), "<none>");
}

TEST_F(RunTest, OneShotHandlersMustBeInstalledAgain) {
  EXPECT_EQ(run("n = 0\nIntControl(73, 1, 0, 0, 0)\nx = 1 / 0\n:QRERRORHANDLER\nn += 1\ny = 1 / 0\n"), 3062u);
  EXPECT_EQ(variable("n"), "1");
}

TEST_F(RunTest, ErrorStateResetsForEachRun) {
  EXPECT_EQ(run("ErrorMode(@OFF)\nIntControl(73, 1, 0, 0, 0)\n"), 0u);
  EXPECT_EQ(run("m = ErrorMode(@CANCEL)\nh = IntControl(73, -1, 0, 0, 0)\n"), 0u);
  EXPECT_EQ(variable("m"), "1");
  EXPECT_EQ(variable("h"), "0");
}

TEST_F(RunTest, DefinitionsOutliveTheRunThatMadeThem) {
  EXPECT_EQ(run("#DefineFunction twice(v)\n  Return v * 2\n#EndFunction\n"), 0u);
  EXPECT_EQ(run("r = twice(21)\n"), 0u);
  EXPECT_EQ(variable("r"), "42");
}

TEST_F(RunTest, HandshakeRefusesOtherVersions) {
  EXPECT_EQ(DoDaDllInit(0, nullptr, 0x1200, api::kHandshake, 0, 0, 0), 0);
  EXPECT_EQ(DoDaDllInit(0, context, api::kVersionWord, 100, 0, 0, 0), 0);
  EXPECT_EQ(DoDaDllInit(0, context, api::kVersionWord, -1, 0, 0, 0), 0);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// Found by fuzzing: an array the size rules allow but the machine cannot give
// must fail with its number, not take the process down.
TEST_F(RunTest, ArrayThatCannotBeAllocatedIsAnError) {
  platform::set_block_limit(1u << 20);
  EXPECT_EQ(run("a = ArrDimension(50000000)\n"), 1631u);
  platform::set_block_limit(0);
  EXPECT_EQ(run("a = ArrDimension(5)\nn = ArrInfo(a, 6)\n"), 0u);
  EXPECT_EQ(variable("n"), "5");
}

}  // namespace
}  // namespace orv
