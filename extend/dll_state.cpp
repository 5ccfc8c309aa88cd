#include "extend/dll_state.h"

namespace orv::dll {

DllState::~DllState() {
  ext::unload_all(c, extenders);
  for (ModuleHandle& m : modules) {
    free_module(m);
    m = nullptr;
  }
  for (std::int32_t k = 0; k < kStructSlots; ++k)
    if (structs[static_cast<std::size_t>(k)]) free_struct(kStructHandleBase + k);
}

DllStruct* DllState::find_struct(std::int32_t handle) {
  const std::int64_t k = std::int64_t{handle} - kStructHandleBase;
  if (k < 0 || k >= kStructSlots) return nullptr;
  return structs[static_cast<std::size_t>(k)].get();
}

Callback* DllState::find_callback(std::int32_t handle) {
  const std::int64_t k = std::int64_t{handle} - kCallbackHandleBase;
  if (k < 0 || k >= kCallbackSlots) return nullptr;
  return callbacks[static_cast<std::size_t>(k)].get();
}

void DllState::free_struct(std::int32_t handle) {
  DllStruct* s = find_struct(handle);
  if (!s) return;
  if (BinaryBuffer* b = c.binaries.find(s->buffer)) b->ownedByStruct = false;
  c.binaries.release(s->buffer);
  structs[static_cast<std::size_t>(handle - kStructHandleBase)].reset();
}

DllState& dll_state(Context& c) {
  if (!c.dllState) c.dllState = std::make_shared<DllState>(c);
  return *static_cast<DllState*>(c.dllState.get());
}

}  // namespace orv::dll
