// Whole runs through the exported entry points, as a host drives them:
// statements, Call, preparation failures and resource exhaustion.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

class RunTest : public test::HostTest {};

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

// What a host reads in the heap after a run, or after letting a text go
// between runs, counts every block the engine let go as free: none is only
// kept for reuse.
TEST_F(RunTest, HostFindsLetGoBlocksOnTheFreeList) {
  const StringHeap& strings = engine().heap;
  auto used_by_tags = [&] {
    std::uint32_t total = 0, size = 0;
    for (std::uint32_t off = StringHeap::kHeaderSize; off < strings.end_offset(); off += size) {
      std::memcpy(&size, test::g_heapBase + off + 4, 4);
      if (size == 0) break;
      if (std::memcmp(test::g_heapBase + off, StringHeap::kTagUsed, 4) == 0) total += size;
    }
    return total;
  };
  EXPECT_EQ(run("For i = 1 To 50\n  t = \"x\" : i\n  u = t : t\nNext\nt = 0\n"), 0u);
  const std::uint32_t held = used_by_tags();
  EXPECT_EQ(held, strings.bytes_in_use());
  void* block = platform::mem_lock(context);   // as an extender is handed it
  const std::uint32_t h = VMalloc(block, 10);
  EXPECT_NE(h, 0u);
  VFree(block, h);
  platform::mem_unlock(context);
  EXPECT_EQ(used_by_tags(), held);
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
