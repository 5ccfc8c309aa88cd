// Scripts that allocate and drop many strings, arrays and binary buffers must
// leave the string heap at the size it had before they ran.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/host_fixture.h"

namespace orv {
namespace {

class HeapBalanceTest : public test::HostTest {
 protected:
  // Runs the script and expects the heap back at its size before the run.
  void expect_balanced(const std::string& text) {
    const std::uint32_t before = engine().heap.bytes_in_use();
    ASSERT_EQ(run(text), 0u);
    EXPECT_EQ(engine().heap.bytes_in_use(), before);
    EXPECT_TRUE(engine().heap.verify());
  }

  // False when the built-in is not part of this build yet (error 3046).
  bool available(const std::string& probe) { return run(probe) != 3046; }
};

TEST_F(HeapBalanceTest, HundredThousandDroppedStrings) {
  expect_balanced(
      "For i = 1 To 50000\n"
      "  s = \"item \" : i\n"
      "  t = s : \"/\" : s\n"   // two strings per round, each replacing the last
      "Next\n"
      "Drop(s, t)\n");
}

TEST_F(HeapBalanceTest, ArraysOfStringsReplacedAndDropped) {
  if (!available("a = ArrDimension(1)\nDrop(a)\n")) GTEST_SKIP() << "ArrDimension is not built in yet";
  expect_balanced(
      "For r = 1 To 100\n"
      "  a = ArrDimension(100)\n"
      "  For i = 0 To 99\n"
      "    a[i] = \"element \" : (r * i)\n"
      "  Next\n"
      "  a[7] = 7\n"   // a string element replaced by a number
      "Next\n"
      "Drop(a)\n");
}

TEST_F(HeapBalanceTest, BinaryBuffersFreed) {
  if (!available("b = BinaryAlloc(16)\nBinaryFree(b)\n")) GTEST_SKIP() << "BinaryAlloc is not built in yet";
  expect_balanced(
      "For i = 1 To 1000\n"
      "  b = BinaryAlloc(256)\n"
      "  BinaryFree(b)\n"
      "Next\n");
}

}  // namespace
}  // namespace orv
