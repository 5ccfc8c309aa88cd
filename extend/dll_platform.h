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
// By name, or by ordinal when `name` is empty.
void* find_entry(ModuleHandle module, const std::string& name, std::uint16_t ordinal);

struct CallResult {   // laid out for the call routine: keep the order
  std::uint32_t eax = 0, edx = 0;
  double st0 = 0;
  std::uint32_t spBefore = 0, spAfter = 0;   // the stack pointer around a callee-pops call
  std::uint32_t lastError = 0;
};
// Pushes `words` (the memory image of the argument list) and calls `entry`.
// The stack is restored whatever the callee pops; `spAfter` says what it did.
void invoke(void* entry, const std::uint32_t* words, int count, bool cdeclCall, bool floatResult, CallResult& out);

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

// Can `bytes` bytes at `address` be read?
bool readable(const void* address, std::size_t bytes);
std::uint32_t current_thread();

}  // namespace orv::dll
