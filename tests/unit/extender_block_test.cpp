// The information block an extender (or a host function) gets: its entry
// points work on the running script, and what it answers through them is
// owned exactly once: an array it made passes to the script, an array it was
// passed stays the script's too.
#include <cstring>

#include "engine/arrays.h"
#include "extend/host_call.h"
#include "tests/unit/host_fixture.h"

namespace orv::test {
namespace {

using CreateArray = void*(ORV_CALL*)(void*, api::Value*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::uint32_t);
using FindVar = std::uint32_t(ORV_CALL*)(void*, const char*, int);

// Functions 0 stdout(text), 1 squares(n), 2 echo(any), 3 known(name).
int ORV_CALL block_entry(api::Word w, api::Word h, std::uint32_t signature, int function, api::AnswerCallback answer,
                         void* info, api::Word* word, api::Operand* args, int count, api::Value* result) {
  auto* block = static_cast<InfoBlock*>(info);
  switch (function) {
    case 0: return test_host_entry(w, h, signature, function, answer, info, word, args, count, result);
    case 1: {
      auto create = reinterpret_cast<CreateArray>(block->moreServices[8]);
      api::Value made{};
      auto* head = static_cast<ArrayHeader*>(create(block->context, &made, static_cast<std::uint32_t>(args[0].i), 0, 0, 0, 0));
      if (!head) return 0;   // the error is the context's
      auto* elements = reinterpret_cast<api::Value*>(head + 1);
      for (std::uint32_t k = 0; k < head->count; ++k) {
        elements[k].flags = 1;
        elements[k].i = static_cast<std::int32_t>(k * k);
      }
      return answer(0, 0, info, &made);
    }
    case 2: return answer(0, 0, info, &args[0]);
    case 3: {
      auto find = reinterpret_cast<FindVar>(block->moreServices[4]);
      api::Value v{};
      v.flags = 1;
      v.i = static_cast<std::int32_t>(find(block->context, g_heapBase + args[0].str, 0) >> 16);
      return answer(0, 0, info, &v);
    }
    default: return -3;
  }
}

class ExtenderBlockTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    std::memset(functions, 0, sizeof functions);
    add(0, "stdout", 1, 1);
    add(1, "squares", 0, 1);
    add(2, "echo", 0xF, 1);
    add(3, "known", 1, 1);
    functions[4].argTypes = reinterpret_cast<std::uintptr_t>(&block_entry);
  }
  void add(int k, const char* name, std::uint64_t types, std::uint32_t counts) {
    functions[k].id = 1000 + static_cast<std::uint32_t>(k);
    functions[k].kind = 2;
    functions[k].argTypes = types;
    functions[k].counts = counts;
    functions[k].nameLength = static_cast<std::uint16_t>(std::strlen(name));
    std::strcpy(functions[k].name, name);
  }
  std::uint32_t run_with_block(const std::string& text) {
    platform::MemHandle script = platform::mem_alloc(text.size() + 1);
    std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
    platform::mem_unlock(script);
    ProcessDaBatBuffer(0, context, script, api::kRunReportToHost, functions);
    platform::mem_free(script);
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    const std::uint32_t err = head->lastError;
    platform::mem_unlock(context);
    return err;
  }
  api::KeywordRecord functions[5];
};

TEST_F(ExtenderBlockTest, AnArrayMadeByTheExtenderPassesToTheScript) {
  EXPECT_EQ(run_with_block("a = squares(4)\nstdout(a[3] : ' ' : ArrInfo(a, 1))\nb = a\nDrop(a)\nstdout(b[2])\n"), 0u);
  EXPECT_EQ(output, "9 4\n4\n");
  // Its one reference went to the script: nothing is left once the script drops it.
  EXPECT_EQ(run_with_block("Drop(b)\n"), 0u);
  EXPECT_EQ(engine().arrays.live_count(), 0u);
}

TEST_F(ExtenderBlockTest, AnArrayPassedBackStaysTheScripts) {
  EXPECT_EQ(run_with_block("a = ArrDimension(2)\na[0] = 'kept'\nc = echo(a)\nDrop(c)\nstdout(a[0])\n"), 0u);
  EXPECT_EQ(output, "kept\n");
  EXPECT_EQ(run_with_block("Drop(a)\n"), 0u);
  EXPECT_EQ(engine().arrays.live_count(), 0u);
}

TEST_F(ExtenderBlockTest, FailuresOfTheEntryPointsAreTheScriptsErrors) {
  EXPECT_EQ(run_with_block("a = squares(-1)\n"), 1628u);
  EXPECT_EQ(run_with_block("a = squares(1000000000)\n"), 1644u);
  EXPECT_EQ(run_with_block("here = 1\nstdout(known('here'))\n"), 0u);
  EXPECT_EQ(output, "0\n");
  EXPECT_EQ(run_with_block("x = known('nowhere')\n"), 3051u);
}

}  // namespace
}  // namespace orv::test
