// Fuzz target: whole scripts through the exported entry points, as a host
// runs them, with a small string heap and a statement budget (inputs may loop);
// one that ends within it runs again without, as scripts run outside tests.
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "api/orv_api.h"

using namespace orv;

namespace {

// Statements of a few milliseconds each under the sanitizers (a text of
// megabytes searched or filled) are legal: the budget keeps such an input
// well inside the fuzzer's 10 s limit.
constexpr std::uint64_t kStatementBudget = 4000;

int ORV_CALL discard_output(api::Word, api::Word, std::uint32_t, int, api::AnswerCallback answer, void* info,
                            api::Word*, api::Operand*, int, api::Value*) {
  api::Value v{};
  v.flags = 1;
  return answer(0, 0, info, &v);
}

struct Host {
  Host() {
    if (DoDaDllInit(0, nullptr, api::kVersionWord, api::kHandshake, 0, 0, 0) == 0) std::abort();
    context = platform::mem_alloc(api::kContextBlockSize);
    heap = platform::vm_reserve(fuzz::kHeapReserve);
    if (!context || !heap || platform::vm_commit(heap, fuzz::kHeapCommit) != 0) std::abort();
    platform::set_commit_limit(fuzz::kHeapLimit);
    platform::set_block_limit(64u << 20);   // huge arrays fail with their numbered error
    table = platform::mem_alloc(std::size_t{fuzz::kVariables} * sizeof(VarSlot));
    std::memset(hostTable, 0, sizeof hostTable);
    hostTable[0].id = 1000;
    hostTable[0].kind = 2;
    hostTable[0].argTypes = 1;
    hostTable[0].counts = 1;
    hostTable[0].nameLength = 6;
    std::strcpy(hostTable[0].name, "stdout");
    hostTable[1].argTypes = reinterpret_cast<std::uintptr_t>(&discard_output);
  }

  // A fresh instance per input, on the same memory. `budget` 0: none (the
  // quickest paths run only then). True when the run ended within its budget.
  bool run(const std::string& text, std::uint32_t flags, std::uint64_t budget) {
    if (DoDaDllInit(0, context, api::kVersionWord, api::kInstanceInit, 0, 0, 0) == 0) std::abort();
    book = {fuzz::kHeapCommit, heap};
    if (DoDaDllInit(0, context, reinterpret_cast<api::Word>(heap), api::kHeapInit, fuzz::kHeapCommit, 0,
                    reinterpret_cast<api::Word>(&book)) != 1 ||
        DoDaDllInit(0, context, reinterpret_cast<api::Word>(table), api::kRunInit, fuzz::kVariables, 0, 0) != 1)
      std::abort();
    auto* head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    static_cast<Context*>(head->impl)->statementBudget = budget;
    platform::mem_unlock(context);

    platform::MemHandle script = platform::mem_alloc(text.size() + 1);
    std::memcpy(platform::mem_lock(script), text.c_str(), text.size() + 1);
    platform::mem_unlock(script);
    ProcessDaBatBuffer(0, context, script, flags, hostTable);
    platform::mem_free(script);
    head = static_cast<api::ContextBlockHead*>(platform::mem_lock(context));
    const bool within = budget == 0 || static_cast<Context*>(head->impl)->statementBudget > 1;
    platform::mem_unlock(context);
    DoDaDllInit(0, context, api::kVersionWord, api::kTerminate, 0, 0, 0);
    return within;
  }

  platform::MemHandle context = nullptr, table = nullptr;
  void* heap = nullptr;
  api::HeapBookkeeping book{};
  api::KeywordRecord hostTable[2];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Host* host = new Host();   // lives for the process
  std::string text(reinterpret_cast<const char*>(data), size);
  if (!fuzz::harmless(text)) return -1;
  // The first byte picks the include option, so both preparations are reached.
  const bool include = !text.empty() && (static_cast<unsigned char>(text[0]) & 1);
  // A host header line names the script's file: Call and #include look beside it.
  static const std::string header = ";\x0C@" + fuzz::scratch_folder() + "main.orv\n";
  const std::uint32_t flags = api::kRunReportToHost | (include ? api::kRunIncludeOption : 0);
  // A script that ends within the budget runs again without one: whole-number
  // functions and loops run as programs only when no statement is counted.
  if (host->run(header + text, flags, kStatementBudget)) host->run(header + text, flags, 0);
  return 0;
}
