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

}  // namespace
}  // namespace orv
