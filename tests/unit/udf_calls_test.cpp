// Calls of user-defined functions after the first reuse what the first call
// learnt about the function; whatever a call did must not reach the next one,
// nor outlive the run.
#include <gtest/gtest.h>

#include <string>

#include "engine/heap.h"
#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

class UdfCallsTest : public test::HostTest {
 protected:
  std::string run_ok(const std::string& text) {
    output.clear();
    EXPECT_EQ(run(text), 0u) << text;
    return output;
  }
};

TEST_F(UdfCallsTest, ManyCallsLeaveTheHeapAsItWas) {
  const std::uint32_t before = engine().heap.bytes_in_use();
  run_ok(
      "#DefineFunction join(a, b, a)\n  local = a : b : \"!\"\n  Drop(b)\n  b = local : local\n  Return b\n"
      "#EndFunction\n"
      "#DefineFunction sum(list, n)\n  list[0] = \"changed \" : n\n  If n > 0 Then Return sum(list, n - 1) + n\n"
      "  Return 0\n#EndFunction\n"
      "#DefineFunction fails(k)\n  ErrorMode(@OFF)\n  text = \"held \" : k\n  x = FileSize(\"no such file\")\n"
      "  ErrorMode(@CANCEL)\n  Return text\n#EndFunction\n"
      "arr = ArrDimension(3)\n"
      "For i = 1 To 300\n"
      "  s = join(\"x\" : i, \"y\" : i, \"z\" : i)\n"
      "  t = sum(arr, i mod 7)\n"
      "  u = fails(i)\n"
      "Next\n"
      "Drop(s, t, u, arr)\n");
  EXPECT_EQ(engine().heap.bytes_in_use(), before);
  EXPECT_TRUE(engine().heap.verify());
}

TEST_F(UdfCallsTest, FramesComeBackInOrderAfterARunThatFailedDeepInside) {
  const std::string levels =
      "#DefineFunction at(k)\n  here = 1\n  If k > 0 Then Return StrSub(&here, 10, 4) : \" \" : at(k - 1)\n"
      "  Return StrSub(&here, 10, 4)\n#EndFunction\nStdOut(at(2))\n";
  EXPECT_EQ(run_ok(levels), "0001 0002 0003\n");
  EXPECT_EQ(run("#DefineFunction down(n)\n  x = \"text \" : n\n  Return down(n + 1)\n#EndFunction\nx = down(1)\n"),
            3353u);
  EXPECT_EQ(run_ok(levels), "0001 0002 0003\n");
}

TEST_F(UdfCallsTest, ARedefinedFunctionBindsItsOwnParameters) {
  // The second definition takes the vacant place of the first, with other
  // parameters in another order.
  EXPECT_EQ(run_ok("#DefineFunction f(a, b)\n  Return a : \"-\" : b\n#EndFunction\n"
                   "StdOut(f(1, 2))\nStdOut(f(3, 4))\n"
                   "IntControl(78, 1, \"f\", 0, 0)\n"
                   "#DefineFunction f(b, c, a)\n  Return a : \"-\" : b : \"-\" : c\n#EndFunction\n"
                   "StdOut(f(5, 6, 7))\nStdOut(f(8, 9, 10))\n"),
            "1-2\n3-4\n7-5-6\n10-8-9\n");
}

TEST_F(UdfCallsTest, ASubroutineBindsIntoWhicheverTableCallsIt) {
  EXPECT_EQ(run_ok("#DefineSubroutine s(p)\n  Return p : \"/\" : IsDefined(mine)\n#EndSubroutine\n"
                   "#DefineFunction f(k)\n  mine = 1\n  r = s(k)\n  Return r : \" \" : p\n#EndFunction\n"
                   "For i = 1 To 3\n  StdOut(f(i) : \" \" : s(i * 10) : \" \" : p)\nNext\n"),
            "1/1 1 10/0 10\n2/1 2 20/0 20\n3/1 3 30/0 30\n");
}

// Arguments are evaluated into slots the call owns: those made before one
// that fails, and those a call binds by copy (a subroutine's, whose
// parameters are the caller's variables), are let go.
TEST_F(UdfCallsTest, ArgumentsMadeBeforeAFailingOneAreLetGo) {
  const std::string f = "#DefineFunction f(a, b)\n  Return a : \"/\" : b\n#EndFunction\n"
                        "#DefineSubroutine s(a, b)\n  last = a : b\n#EndSubroutine\n";
  const std::uint32_t before = engine().heap.bytes_in_use();
  EXPECT_EQ(run(f + "For i = 1 To 9\n  x = f(\"held \" : i, \"more \" : 6 / (5 - i))\nNext\n"), 3062u);
  run_ok("Drop(x)\n");
  EXPECT_EQ(engine().heap.bytes_in_use(), before);
  EXPECT_EQ(run_ok(f + "For i = 1 To 200\n  y = f(\"kept \" : i, StrCat(\"t\", i))\n  s(\"p\" : i, y)\nNext\n"
                   "StdOut(y : \" \" : last)\nDrop(y, last, a, b)\n"),
            "kept 200/t200 p200kept 200/t200\n");
  EXPECT_EQ(engine().heap.bytes_in_use(), before);
  EXPECT_TRUE(engine().heap.verify());
}

// A closed frame's block is kept for the next call at its level; a host
// that starts the next run with a larger table must not get one too small.
TEST_F(UdfCallsTest, AKeptFrameTooSmallForALargerTableIsNotReused) {
  const std::string deep = "#DefineFunction fill(n, d)\n  For k = 1 To n\n    v%k% = k * d\n  Next\n"
                           "  If d > 1 Then Return fill(n, d - 1) + v%n%\n  Return v%n%\n#EndFunction\n";
  EXPECT_EQ(run_ok(deep + "StdOut(fill(400, 3))\n"), "2400\n");
  platform::MemHandle larger = platform::mem_alloc(1500 * 76);
  ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(larger), api::kRunInit, 1500, 0, 0), 1);
  EXPECT_EQ(run_ok(deep + "StdOut(fill(1200, 3))\nStdOut(fill(1200, 2))\n"), "7200\n3600\n");
  ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(table), api::kRunInit, 500, 0, 0), 1);
  platform::mem_free(larger);
  EXPECT_EQ(run_ok(deep + "StdOut(fill(400, 3))\n"), "2400\n");
  EXPECT_TRUE(engine().heap.verify());
}

}  // namespace
}  // namespace orv
