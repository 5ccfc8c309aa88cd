// The library's exported entry points for hosts and extenders.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "engine/outside_code.h"
#include "engine/file_hooks.h"
#include "engine/active_runs.h"
#include "engine/context.h"
#include "engine/convert.h"
#include "engine/error_handling.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/no_throw.h"
#include "engine/runloop.h"
#include "engine/script.h"
#include "engine/tokenizer.h"
#include "engine/trace/trace.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "engine/extender_hooks.h"
#include "api/orv_api.h"

namespace orv {
namespace {

constexpr int kInstanceInitResult = 76;

// DoDaDllInit calls are made one at a time across the process.
std::atomic<int>& busy_counter() {
  static std::atomic<int> counter{0};
  return counter;
}

class BusyGuard {
 public:
  BusyGuard() {
    int expected = 0;
    while (!busy_counter().compare_exchange_weak(expected, 1)) {
      expected = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~BusyGuard() { busy_counter().store(0); }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;
};

// A host block locked for the duration of one call.
class LockedBlock {
 public:
  explicit LockedBlock(api::Handle h) : h_(h), p_(h ? platform::mem_lock(h) : nullptr) {}
  ~LockedBlock() { if (p_) platform::mem_unlock(h_); }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  void* get() const { return p_; }
  std::size_t size() const { return h_ ? platform::mem_size(h_) : 0; }

 private:
  api::Handle h_;
  void* p_;
};

api::ContextBlockHead* head_of(void* block) { return static_cast<api::ContextBlockHead*>(block); }

Context* context_of(void* block) {
  if (!block) return nullptr;
  api::ContextBlockHead* head = head_of(block);
  if (head->magic != api::kContextMagic || !head->impl) return nullptr;
  auto* c = static_cast<Context*>(head->impl);
  // Whoever calls in may have written into the heap since the engine last ran.
  c->heap.forget_lengths();
  return c;
}

void seed_random_once() {
  static const bool seeded = [] {
    std::srand(static_cast<unsigned>(std::time(nullptr)) * platform::tick_count());
    return true;
  }();
  (void)seeded;
}

int instance_init(void* block) {
  if (!block) return 0;
  api::ContextBlockHead* head = head_of(block);
  if (head->magic == api::kContextMagic && head->impl) {
    if (run_active(*static_cast<Context*>(head->impl))) return 0;   // its run still uses it
    std::unique_ptr<Context> old(static_cast<Context*>(head->impl));
  }
  std::memset(block, 0, api::kContextBlockSize);
  auto ctx = std::make_unique<Context>();
  ctx->sounds = std::atoi(platform::read_setting("MAIN", "Sounds", "0").c_str());
  ctx->prettyDialogs = std::atoi(platform::read_setting("MAIN", "PrettyDialogs", "1").c_str());
  seed_random_once();
  head->magic = api::kContextMagic;
  head->impl = ctx.release();
  return kInstanceInitResult;
}

int heap_init(Context& c, api::Word base, api::Word size, api::Word book) {
  auto* record = reinterpret_cast<api::HeapBookkeeping*>(book);
  const api::Word reserved = size;
  // Only committed memory can be laid out; a filled-in record says how much is.
  if (record && record->committed != 0 && record->committed < size) size = record->committed;
  if (!base || size < 4096) return 0;
  c.heap.init(reinterpret_cast<std::uint8_t*>(base), static_cast<std::uint32_t>(size), record);
  // A size beyond the committed part is the reservation the heap may grow
  // into; a host that passes only the committed size leaves it unknown.
  if (reserved > size) c.heap.set_reservation(static_cast<std::uint32_t>(std::min<std::uint64_t>(reserved, 0x7FFFFFFFu)));
  else c.heap.set_reservation(0);
  std::string cwd = platform::current_directory();
  if (cwd.size() >= 2 && cwd[1] == ':') platform::set_environment(std::string("=") + cwd[0] + ":", cwd);
  return 1;
}

int run_init(Context& c, api::Word tableHandle, api::Word capacity) {
  release_all_variables(c);
  if (c.slotMem) platform::mem_unlock(c.slotMem);
  c.slotMem = nullptr;
  c.slots = nullptr;
  if (!init_variable_table(c, reinterpret_cast<api::Handle>(tableHandle), static_cast<std::uint16_t>(capacity & 0xFFFF)))
    return 0;
  c.decimals = -1;
  return 1;
}

void terminate(void* block) {
  Context* c = context_of(block);
  if (!c) return;
  std::unique_ptr<Context> owned(c);
  if (owned->heap.ready()) {
    release_all_variables(*owned);
    release_value(*owned, owned->returnValue);
  }
  head_of(block)->impl = nullptr;
  head_of(block)->magic = 0;
}

void reset_run_state(Context& c, std::uint32_t runFlags, api::KeywordRecord* hostTable) {
  c.depth = 0;
  c.ifState = -1;
  c.cancelRequested = false;
  c.callLevel = 0;
  c.pendingLineError = 0;
  c.error = 0;
  c.errorText.clear();
  c.lastError = 0;
  c.lastLine = 0;
  c.breakable = 0;
  c.returned = false;
  c.errorMode = 1;
  c.reportedError = 0;
  c.realCode = 0;
  c.errorHandlerMode = 0;
  c.cancelHandlerMode = 0;
  c.continueAfterReport = false;
  c.executingUdf = limits::kNoUdf;
  c.runFlags = runFlags;
  new_slot_layout(c);   // the host may have changed the table since the last run
  trace::begin_run(c);
  ++c.keywordGeneration;   // the host's names may differ from the last run's
  c.includeOption = (runFlags & api::kRunIncludeOption) != 0;
  c.hostTable = hostTable;
  c.hostCount = 0;
  c.hostEntry = nullptr;
  if (hostTable) {
    while (c.hostCount < kParentEnd - kParentStart + 1 && hostTable[c.hostCount].nameLength != 0) ++c.hostCount;
    c.hostEntry = reinterpret_cast<api::HostEntry>(static_cast<std::uintptr_t>(hostTable[c.hostCount].argTypes));
  }
}

// The text of a script block: 8-bit text ends at its first NUL; UTF-16 text
// (after an optional host header line) ends at its first NUL character.
std::string block_text(const LockedBlock& b) {
  const char* p = static_cast<const char*>(b.get());
  const std::size_t n = b.size();
  std::size_t start = 0;
  if (n > 3 && p[0] == ';' && p[1] == 0x0C && p[2] == '@') {
    const void* eol = std::memchr(p, '\n', n);
    start = eol ? static_cast<std::size_t>(static_cast<const char*>(eol) - p) + 1 : n;
  }
  const auto* u = reinterpret_cast<const unsigned char*>(p + start);
  const std::size_t rest = n - start;
  if (rest >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
    std::size_t end = 2;
    while (end + 1 < rest && (u[end] != 0 || u[end + 1] != 0)) end += 2;
    return std::string(p, start + end);
  }
  const void* nul = std::memchr(p, '\0', n);
  return std::string(p, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : n);
}

// One run of a script block, in a context that no other run is using.
int run_buffer(Context& c, void* block, api::Word hostWindow, api::Handle script, std::uint32_t runFlags,
               api::KeywordRecord* hostTable) {
  c.blockPointer = block;
  c.ownWindow = static_cast<std::uintptr_t>(hostWindow);
  reset_run_state(c, runFlags, hostTable);
  std::string text;
  {
    LockedBlock scriptBlock(script);
    if (!scriptBlock.get()) return 0;
    text = block_text(scriptBlock);
  }
  // A host names the script file with a first line ";" 0x0C "@" + path.
  std::string file, dir;
  if (text.size() > 3 && text[0] == ';' && text[1] == 0x0C && text[2] == '@') {
    std::size_t eol = text.find('\n');
    file = text.substr(3, (eol == std::string::npos ? text.size() : eol) - 3);
    while (!file.empty() && (file.back() == '\r' || file.back() == ' ')) file.pop_back();
    text.erase(0, eol == std::string::npos ? text.size() : eol + 1);
    dir = platform::directory_of(file);
  }
  c.scripts.clear();
  auto prepared = std::make_unique<Script>();
  prepared->file = file;
  if (!prepare_script(c, std::move(text), file, dir, *prepared)) {
    c.scripts.push_back(std::move(prepared));
    c.errorScript = 0;
    c.errorPos = 0;
    report_preparation_error(c);
    head_of(block)->lastError = c.lastError;
    c.scripts.clear();
    return 0;
  }
  c.scripts.push_back(std::move(prepared));
  pump_window_messages(c, false);
  {
    // Files the script left open stay open until request 99; their lines
    // go out when the run ends, however it ends.
    struct WritesOut {
      Context& c;
      ~WritesOut() { files::flush_writes(c); }
    } writesOut{c};
    run_script(c, 0);
  }
  if (trace::active(c)) trace::end_of_job(c);
  release_value(c, c.returnValue);
  clear_operand(c.returnValue);
  c.heap.settle();   // the host finds every block the run let go on the free list
  api::ContextBlockHead* head = head_of(block);
  head->lastError = c.lastError;
  head->lastLine = c.lastLine;
  c.error = 0;
  c.scripts.clear();
  pump_window_messages(c, false);
  return 1;
}

}  // namespace
}  // namespace orv

using namespace orv;

ORV_EXPORT int ORV_CALL DoDaDllInit(api::Word, api::Handle context, api::Word version, int request, api::Word a,
                                    api::Word, api::Word c) {
  return export_guard(0, [&]() -> int {
    if (request < 0 || request > 99) return 0;
    BusyGuard busy;
    if (request == api::kHandshake) {
      if (((version >> 8) & 0xFF) != 0x13) {
        platform::message_box("Version Interface Incompatible", "DLL mismatch", platform::mb_ok);
        return 0;
      }
      return static_cast<int>(api::kContextBlockSize);
    }
    LockedBlock block(context);
    if (!block.get() || block.size() < api::kContextBlockSize) return 0;
    if (request == api::kInstanceInit) return instance_init(block.get());
    Context* ctx = context_of(block.get());
    if (!ctx) return 0;
    if (run_active(*ctx)) {
      // Called back from inside a run: the run's scripts, variables and heap
      // stay as they are; a termination ends the run and follows it.
      if (request != api::kTerminate) return 0;
      request_termination(*ctx);
      ctx->cancelRequested = true;   // the compiled path then looks between statements
      return 1;
    }
    ctx->blockPointer = block.get();
    switch (request) {
      case api::kHeapInit: return heap_init(*ctx, version, a, c);
      case api::kRunInit: return run_init(*ctx, version, a);
      case api::kTerminate: terminate(block.get()); return 1;
      default: return 0;
    }
  });
}

ORV_EXPORT int ORV_CALL ProcessDaBatBuffer(api::Word hostWindow, api::Handle context, api::Handle script, std::uint32_t runFlags,
                                           api::KeywordRecord* hostTable) {
  return export_guard(0, [&]() -> int {
    LockedBlock block(context);
    Context* c = context_of(block.get());
    if (!c || !c->heap.ready() || !c->slots || run_active(*c)) return 0;
    int result = 0;
    bool terminateAfter = false;
    std::exception_ptr failure;   // a termination asked for meanwhile still happens
    {
      const ActiveRun active(*c);
      try {
        result = run_buffer(*c, block.get(), hostWindow, script, runFlags, hostTable);
      } catch (...) {
        failure = std::current_exception();
      }
      terminateAfter = termination_requested(*c);
    }
    if (terminateAfter) terminate(block.get());
    if (failure) std::rethrow_exception(failure);
    return result;
  });
}

ORV_EXPORT int ORV_CALL DLLServices(api::Handle context, int request, void* ptrA, void* ptrB, std::int32_t numA,
                                    std::int32_t numB) {
  return export_guard(0, [&]() -> int {
    if (request > 60 || request < 0) return 0;
    LockedBlock block(context);
    Context* c = context_of(block.get());
    if (!c || !c->heap.ready()) return 0;
    const std::uint16_t savedError = c->error;
    std::string savedText = c->errorText;
    c->error = 0;
    int result = 0;
    switch (request) {
      case 11:
        if (ptrA) {
          result = set_parameters(*c, static_cast<const char*>(ptrA));
        } else if (ptrB) {
          std::string quoted;
          for (auto** arg = static_cast<char**>(ptrB); *arg; ++arg) {
            std::string word = *arg;
            std::string q = "\"";
            for (char ch : word) { q += ch; if (ch == '"') q += '"'; }
            quoted += q + "\" ";
          }
          result = set_parameters(*c, quoted);
        }
        break;
      case 13:
        c->error = static_cast<std::uint16_t>(numA);
        return 1;
      default: {
        ext::ServiceCall call{*c, ptrA, ptrB, numA, numB};
        result = ext::run_service(request, call);
        break;
      }
    }
    if (c->error) result = 0;
    c->error = savedError;
    c->errorText = std::move(savedText);
    return result;
  });
}

ORV_EXPORT int ORV_CALL ProcessSubExpression(void* context, api::Operand* result, int assignAllowed, int pointerTarget,
                                             api::Handle) {
  return export_guard(0, [&]() -> int {
    Context* c = context_of(context);
    if (!c || !result) return 0;
    return process_sub_expression(*c, *result, assignAllowed != 0, pointerTarget != 0) ? 1 : 0;
  });
}

ORV_EXPORT int ORV_CALL get_token(void* context) {
  return export_guard(0, [&]() -> int {
    Context* c = context_of(context);
    return c ? orv::get_token(*c) : 0;
  });
}

ORV_EXPORT void ORV_CALL get_string_token(void* context) {
  export_guard(0, [&] {
    if (Context* c = context_of(context)) orv::get_string_token(*c);
    return 0;
  });
}

ORV_EXPORT void ORV_CALL putback(void* context) {
  export_guard(0, [&] {
    if (Context* c = context_of(context)) orv::putback(*c);
    return 0;
  });
}

ORV_EXPORT std::uint32_t ORV_CALL find_var(void* context, const char* name, int report) {
  return export_guard(std::uint32_t{limits::kNoSlot}, [&]() -> std::uint32_t {
    Context* c = context_of(context);
    if (!c || !name) return limits::kNoSlot;
    std::uint16_t slot = orv::find_var(*c, name, report != 0);
    if (slot == kNotFound) return limits::kNoSlot | (std::uint32_t{c->error} << 16);
    return slot;
  });
}

ORV_EXPORT std::uint32_t ORV_CALL VMalloc(void* context, std::uint32_t bytes) {
  return export_guard(std::uint32_t{0}, [&]() -> std::uint32_t {
    Context* c = context_of(context);
    return c ? c->heap.alloc(bytes) : 0;
  });
}

ORV_EXPORT void ORV_CALL VFree(void* context, std::uint32_t offset) {
  export_guard(0, [&] {
    if (Context* c = context_of(context)) {
      c->heap.free(offset);
      // Between runs the host sees a block it let go on the free list at once.
      if (!run_active(*c)) c->heap.settle();
    }
    return 0;
  });
}

ORV_EXPORT void* ORV_CALL CreateMyArray(void* context, api::Value* result, std::uint32_t size1, std::uint32_t size2,
                                        std::uint32_t size3, std::uint32_t size4, std::uint32_t size5) {
  return export_guard(static_cast<void*>(nullptr), [&]() -> void* {
    Context* c = context_of(context);
    if (!c || !result) return nullptr;
    std::uint16_t error = 0;
    const std::uint32_t handle = c->arrays.create({size1, size2, size3, size4, size5}, false, error);
    if (!handle) {
      fail(*c, error);
      return nullptr;
    }
    std::memset(result, 0, sizeof *result);
    result->flags = vf::kArray;
    result->str = handle;
    return c->arrays.header(handle);
  });
}
