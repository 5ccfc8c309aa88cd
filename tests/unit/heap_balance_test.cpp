// Scripts that allocate and drop many strings, arrays and binary buffers must
// leave the string heap at the size it had before they ran.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/context.h"
#include "host/orv_api.h"
#include "platform/platform.h"

namespace orv {
namespace {

int ORV_CALL ignore_output(api::Word, api::Word, std::uint32_t, int, api::AnswerCallback answer, void* info,
                           api::Word*, api::Operand*, int, api::Value*) {
  api::Value v{};
  v.flags = 1;
  return answer(0, 0, info, &v);
}

class HeapBalanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DoDaDllInit(0, nullptr, api::kVersionWord, api::kHandshake, 0, 0, 0), 66920);
    context = platform::mem_alloc(api::kContextBlockSize);
    ASSERT_EQ(DoDaDllInit(0, context, api::kVersionWord, api::kInstanceInit, 0, 0, 0), 76);
    heap = platform::vm_reserve(64u << 20);
    ASSERT_EQ(platform::vm_commit(heap, 65536), 0u);
    book = {65536, heap};
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(heap), api::kHeapInit, 65536, 0,
                          reinterpret_cast<api::Word>(&book)), 1);
    table = platform::mem_alloc(500 * 76);
    ASSERT_EQ(DoDaDllInit(0, context, reinterpret_cast<api::Word>(table), api::kRunInit, 500, 0, 0), 1);
    std::memset(hostTable, 0, sizeof hostTable);
    hostTable[0].id = 1000;
    hostTable[0].kind = 2;
    hostTable[0].argTypes = 1;
    hostTable[0].counts = 1;
    hostTable[0].nameLength = 6;
    std::strcpy(hostTable[0].name, "stdout");
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&ignore_output);
  }

  void TearDown() override {
    DoDaDllInit(0, context, api::kVersionWord, api::kTerminate, 0, 0, 0);
    platform::mem_free(table);
    platform::mem_free(context);
    platform::vm_release(heap);
  }

  // The engine's context, through the public head of the block.
  Context& engine() {
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    auto* c = static_cast<Context*>(head->impl);
    platform::mem_unlock(context);
    return *c;
  }

  std::uint32_t run(const std::string& text) {
    platform::MemHandle script = platform::mem_alloc(text.size() + 1);
    std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
    platform::mem_unlock(script);
    ProcessDaBatBuffer(0, context, script, api::kRunReportToHost, hostTable);
    platform::mem_free(script);
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    std::uint32_t err = head->lastError;
    platform::mem_unlock(context);
    return err;
  }

  // Runs the script and expects the heap back at its size before the run.
  void expect_balanced(const std::string& text) {
    const std::uint32_t before = engine().heap.bytes_in_use();
    ASSERT_EQ(run(text), 0u);
    EXPECT_EQ(engine().heap.bytes_in_use(), before);
    EXPECT_TRUE(engine().heap.verify());
  }

  // False when the built-in is not part of this build yet (error 3046).
  bool available(const std::string& probe) { return run(probe) != 3046; }

  platform::MemHandle context = nullptr, table = nullptr;
  void* heap = nullptr;
  api::HeapBookkeeping book{};
  api::KeywordRecord hostTable[2];
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
