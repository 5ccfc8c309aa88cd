// Per-context tables of the extension interfaces: extenders, loaded DLL
// handles, DLL structures and callbacks. Created on first use, released with
// the context (extenders first: they may still call back).
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "extend/dll_platform.h"
#include "extend/extenders.h"
#include "extend/type_words.h"

namespace orv::dll {

inline constexpr int kDllSlots = 10;
inline constexpr int kStructSlots = 128;
inline constexpr std::int32_t kStructHandleBase = 987787;
inline constexpr int kCallbackSlots = 512;
inline constexpr std::int32_t kCallbackHandleBase = 29796;

struct DllStruct {
  StructLayout layout;
  std::int32_t buffer = 0;   // binary-buffer handle holding the data
};

struct Callback {
  std::string udfName;             // looked up at each call: definitions may change
  CallbackSignature signature;
  Context* context = nullptr;
  std::uint32_t thread = 0;        // the creator's; other threads are refused
  bool cdeclCaller = false;        // set by the DllCall that last passed it
  Thunk thunk;
};

// Words and texts that hosts and extenders exchange through DLLServices.
struct HostSettings {
  std::array<std::string, 2> texts;
  bool hostFlag = true;
  std::int32_t options = 0;
  std::int32_t stopCode = 0;
  std::int32_t contextSwitch = 0;
  std::int32_t background = 0;
  std::string backgroundPath;
  std::int32_t errorDialogSwitch = 0;
  std::string errorDialogText;
  std::int32_t hostSwitch = 0;
  std::string hostSwitchText;
  std::array<std::string, 10> textSlots;
  std::int32_t fourValued = 0;
  std::int32_t latchOwner = 0;
  std::int32_t booleanSwitch = 0;
  std::uintptr_t attachedStation = 0;   // window station given by the host (request 32)
  std::uintptr_t ownStation = 0;        // the process's station before that
};

struct DllState {
  explicit DllState(Context& c) : c(c) {}
  ~DllState();
  DllState(const DllState&) = delete;
  DllState& operator=(const DllState&) = delete;

  Context& c;
  ext::ExtenderTable extenders;
  HostSettings host;
  std::array<ModuleHandle, kDllSlots> modules{};
  std::uint32_t lastError = 0;
  int callbacksInFlight = 0;
  std::atomic<bool> refusedCallback{false};   // set by a callback from a foreign thread
  std::array<std::unique_ptr<DllStruct>, kStructSlots> structs;
  std::array<std::unique_ptr<Callback>, kCallbackSlots> callbacks;
  std::vector<bool> disabledBuiltins;   // by built-in id (request 24)

  DllStruct* find_struct(std::int32_t handle);
  Callback* find_callback(std::int32_t handle);
  void free_struct(std::int32_t handle);
};

DllState& dll_state(Context& c);

}  // namespace orv::dll
