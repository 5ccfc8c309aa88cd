// One interpreter context driven through the host sequence: handshake and
// instance set-up on creation, a string heap, a variable table per run, and
// termination on destruction.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/blocks.h"
#include "host/engine_api.h"

namespace orv::host {

class HostFunctions;

struct RunResult {
  enum class Status { ran, unreadable, not_prepared, no_memory };
  Status status = Status::ran;
  std::uint32_t lastError = 0;  // from the context block after the run
  int exitStatus = 0;           // set by the script with ExitCode
};

class Session {
 public:
  static constexpr std::size_t kHeapReserve = 64u << 20;
  static constexpr std::size_t kHeapInitialCommit = 64u << 10;
  static constexpr std::uint32_t kVariableCapacity = 2000;
  static constexpr std::size_t kVariableSlotBytes = 76;

  explicit Session(const EngineApi& api);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // False when a set-up step failed; error() says which.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Runs one script file. With freshHeap the string heap is laid out anew on
  // a new area once the previous run's variables are gone.
  RunResult run(const std::string& scriptPath, const std::vector<std::string>& args,
                HostFunctions& functions, bool freshHeap = false);

  // With dialogs on, unhandled errors show the library's error dialog instead
  // of going to standard error.
  void set_dialogs(bool on) { dialogs_ = on; }

  api::Handle context() const { return context_.get(); }
  char* heap_base() const { return static_cast<char*>(heap_.base()); }

 private:
  bool reset_heap();
  bool begin_run(const std::vector<std::string>& args, bool freshHeap);
  std::uint32_t last_error() const;

  const EngineApi& api_;
  std::string error_;
  MemBlock context_;
  VmArea heap_;
  api::HeapBookkeeping bookkeeping_{};
  MemBlock variables_;
  bool initialised_ = false;
  bool dialogs_ = false;
};

}  // namespace orv::host
