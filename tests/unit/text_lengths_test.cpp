// Known text lengths: the heap's table must never answer a length that is no
// longer true, whoever wrote into the text.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/heap.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "heap_fixture.h"
#include "host_fixture.h"
#include "platform/platform.h"

namespace orv {
namespace {

class TextLengthTest : public test_support::HeapFixture {
 protected:
  // A text of n letters (long enough to be kept from kLong on).
  std::uint32_t text(std::uint32_t n) {
    const std::uint32_t h = heap_.alloc(n + 1);
    for (std::uint32_t k = 0; k < n; ++k) heap_.ptr(h)[k] = static_cast<char>('a' + k % 26);
    heap_.ptr(h)[n] = '\0';
    return h;
  }

  static constexpr std::uint32_t kLong = StringHeap::kRememberFrom;
  static constexpr std::uint32_t kUnknown = StringHeap::kUnknownLength;
};

TEST_F(TextLengthTest, ALengthIsKeptPerHandleAndWidth) {
  const std::uint32_t a = text(kLong), b = text(kLong + 10);
  EXPECT_EQ(heap_.known_length(a, 1), kUnknown);
  heap_.remember_length(a, kLong, 1);
  heap_.remember_length(b, kLong + 10, 1);
  EXPECT_EQ(heap_.known_length(a, 1), kLong);
  EXPECT_EQ(heap_.known_length(b, 1), kLong + 10);
  EXPECT_EQ(heap_.known_length(a, 2), kUnknown);   // the same block read as UTF-16 is another text
}

TEST_F(TextLengthTest, AnOutsideWriteIsForgottenAtTheBoundary) {
  const std::uint32_t h = text(kLong + 5);
  heap_.remember_length(h, kLong + 5, 1);
  heap_.ptr(h)[2] = '\0';   // shortened in place, the old terminator still there
  heap_.forget_lengths();
  EXPECT_EQ(heap_.known_length(h, 1), kUnknown);
}

TEST_F(TextLengthTest, FreeingABlockDropsItsLength) {
  const std::uint32_t h = text(kLong * 2);
  heap_.remember_length(h, kLong * 2, 1);
  heap_.free(h);
  EXPECT_EQ(heap_.known_length(h, 1), kUnknown);
  // Whatever block takes its place starts unknown, even at the same offset
  // and even when the freed text was measured meanwhile.
  heap_.remember_length(h, kLong * 2, 1);
  const std::uint32_t again = text(kLong * 2);
  ASSERT_EQ(again, h);
  EXPECT_EQ(heap_.known_length(again, 1), kUnknown);
  heap_.remember_length(again, kLong * 2, 1);
  EXPECT_EQ(heap_.known_length(again, 1), kLong * 2);
  EXPECT_TRUE(heap_.verify());
}

TEST_F(TextLengthTest, OnlyALiveBlocksOwnTextIsRecorded) {
  const std::uint32_t h = text(kLong + 3);   // a payload of kLong + 4 bytes
  heap_.remember_length(h + 4, kLong - 4, 1);   // inside a block, not its start
  EXPECT_EQ(heap_.known_length(h + 4, 1), kUnknown);
  heap_.remember_length(h, kLong + 4, 1);       // would run past the block
  EXPECT_EQ(heap_.known_length(h, 1), kUnknown);
  heap_.remember_length(0, kLong, 1);           // the heap's own header
  EXPECT_EQ(heap_.known_length(0, 1), kUnknown);
  heap_.remember_length(h, kLong + 3, 1);       // terminator in the last payload byte
  EXPECT_EQ(heap_.known_length(h, 1), kLong + 3);
}

TEST_F(TextLengthTest, ManyBoundariesNeverReviveAnOldLength) {
  const std::uint32_t h = text(kLong);
  heap_.remember_length(h, kLong, 1);
  for (int k = 0; k < 1000; ++k) heap_.forget_lengths();
  EXPECT_EQ(heap_.known_length(h, 1), kUnknown);
  heap_.remember_length(h, kLong, 1);
  EXPECT_EQ(heap_.known_length(h, 1), kLong);
}

// ---- Through the engine: a host that writes into a variable's text ----

inline char* g_tableBase = nullptr;

// shorten(name, at): writes a NUL at offset `at` into the variable's text,
// as a host may do by offset into the heap.
int ORV_CALL shortening_host(api::Word, api::Word, std::uint32_t, int function, api::AnswerCallback answer, void* info,
                             api::Word*, api::Operand* args, int count, api::Value*) {
  if (function != 0 || count != 2) return -3;
  const std::string name = test::g_heapBase + args[0].str;
  for (int k = 0; k < 500; ++k) {
    auto* slot = reinterpret_cast<api::Value*>(g_tableBase + k * 76);
    const char* slotName = g_tableBase + k * 76 + sizeof(api::Value);
    if ((slot->flags & 2) && name == slotName) test::g_heapBase[slot->str + args[1].i] = '\0';
  }
  api::Value v{};
  v.flags = 1;
  return answer(0, 0, info, &v);
}

class OutsideWriteTest : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    g_tableBase = static_cast<char*>(platform::mem_lock(table));
    hostTable[0].argTypes = 1;   // a text, then a number
    hostTable[0].counts = 2;
    hostTable[0].nameLength = 7;
    std::strcpy(hostTable[0].name, "shorten");
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&shortening_host);
  }
  void TearDown() override {
    platform::mem_unlock(table);
    HostTest::TearDown();
  }
};

TEST_F(OutsideWriteTest, AHostShorteningATextInPlaceIsSeen) {
  ASSERT_EQ(run("s = StrFill(\"abcdef\", 600) : \"ghij\"\n"
                "a = StrLen(s)\n"
                "shorten(\"s\", 3)\n"
                "b = StrLen(s)\n"
                "c = s : \"!\"\n"
                "d = StrSub(s, 2, -1)\n"
                "e = StrIndex(s, \"g\", 1, @FWDSCAN)\n"),
            0u);
  EXPECT_EQ(variable("a"), "604");
  EXPECT_EQ(variable("b"), "3");
  EXPECT_EQ(variable("c"), "abc!");
  EXPECT_EQ(variable("d"), "bc");
  EXPECT_EQ(variable("e"), "0");
}

TEST_F(OutsideWriteTest, AHostWriteBetweenRunsIsSeen) {
  ASSERT_EQ(run("s = StrFill(\"abcdef\", 600) : \"\"\nn = StrLen(s)\n"), 0u);
  EXPECT_EQ(variable("n"), "600");
  Context& c = engine();
  const std::uint16_t slot = find_slot(c, "s");
  ASSERT_NE(slot, kNotFound);
  test::g_heapBase[c.slots[slot].v.str + 1] = '\0';   // the host writes while no run is active
  ASSERT_EQ(run("n = StrLen(s)\nt = s : s\n"), 0u);
  EXPECT_EQ(variable("n"), "1");
  EXPECT_EQ(variable("t"), "aa");
}

}  // namespace
}  // namespace orv
