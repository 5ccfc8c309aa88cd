// What the DLL-calling family needs from the system: modules, entry points,
// the call itself and executable callback thunks. The Windows back end does
// the real work; the native one refuses to load anything.
#pragma once
#include <cstdint>
#include <string>

namespace orv::dll {

using ModuleHandle = void*;

// nullptr on failure with `osError` set to the system's code.
ModuleHandle load_module(const std::string& file, std::uint32_t& osError);
void free_module(ModuleHandle module);
// A module already loaded in the process, by name; the interpreter's own
// module for an empty name. nullptr when it is not loaded (nothing is loaded).
ModuleHandle loaded_module(const std::string& name);
// By name, or by ordinal when `name` is empty.
void* find_entry(ModuleHandle module, const std::string& name, std::uint16_t ordinal);

// What went wrong inside called code: the system's exception code (access
// violation, divide by zero...) and where it happened. code 0 = no fault.
struct Fault {
  std::uint32_t code = 0;
  std::uint32_t address = 0;
};

struct CallResult {   // laid out for the call routine: keep the order
  std::uint32_t eax = 0, edx = 0;
  double st0 = 0;
  std::uint32_t spBefore = 0, spAfter = 0;   // the stack pointer around a callee-pops call
  std::uint32_t lastError = 0;
  Fault fault;                               // set when the call faulted: the rest is then void
};
// Pushes `words` (the memory image of the argument list) and calls `entry`.
// The stack is restored whatever the callee pops; `spAfter` says what it did.
// A fault inside the callee is caught: the stack and FPU are put back and
// `out.fault` says what happened, so a bad call never ends the process.
void invoke(void* entry, const std::uint32_t* words, int count, bool cdeclCall, bool floatResult, CallResult& out);

// Calls an extender's standard-call entry point (query: 3 words, entry: 10,
// generation 1: 12) under the same guard as invoke. The words are pointer-sized
// so that the native build can call a host entry of its own process.
int call_entry_words(void* entry, const std::uintptr_t* words, int count, CallResult& out);

// Text for a fault, e.g. "access violation (0xC0000005) at 0x0040123A".
std::string fault_text(const Fault& f);

// What the callback dispatcher returns to the DLL (filled by callbacks.cpp,
// read by the dispatcher's assembly: keep the order).
struct CallbackReturn {
  std::uint32_t eax = 0, edx = 0;
  double st0 = 0;
  std::uint32_t popBytes = 0;   // 0 when the caller pops (cdecl)
  std::uint32_t isFloat = 0;
};
static_assert(sizeof(CallbackReturn) == 24);

// 12 bytes of executable code that pass `record` to the callback dispatcher.
class Thunk {
 public:
  Thunk() = default;
  ~Thunk();
  Thunk(const Thunk&) = delete;
  Thunk& operator=(const Thunk&) = delete;
  bool make(void* record);
  void* address() const { return code_; }

 private:
  void* code_ = nullptr;
};

// Makes `station` the process's window station; `previous` receives the one
// it had. restore_window_station puts `previous` back and closes `attached`.
bool attach_window_station(std::uintptr_t station, std::uintptr_t& previous);
void restore_window_station(std::uintptr_t previous, std::uintptr_t attached);

// Can `bytes` bytes at `address` be read?
bool readable(const void* address, std::size_t bytes);
std::uint32_t current_thread();

}  // namespace orv::dll
