// orv_native_host has the engine linked in.
#include "host/engine_api.h"

// Weak, under a private name: the host still links while the engine lacks the
// service entry, and a later declaration in orv_api.h cannot clash with it.
extern "C" int orv_host_services(orv::api::Handle, int, void*, void*, std::int32_t, std::int32_t)
    __asm__("DLLServices") __attribute__((weak));

namespace orv::host {

bool load_engine(EngineApi& api, std::string&) {
  api.init = &DoDaDllInit;
  api.run = &ProcessDaBatBuffer;
  api.services = &orv_host_services;  // null when the engine has none
  return true;
}

}  // namespace orv::host
