// orvhost.exe finds orv.dll next to itself and binds its exports at run time.
#include <windows.h>

#include "host/engine_api.h"

namespace orv::host {

namespace {
std::string library_path() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string exe(buffer, n);
  const auto cut = exe.find_last_of("\\/");
  return (cut == std::string::npos ? std::string() : exe.substr(0, cut + 1)) + "orv.dll";
}

template <typename Fn>
Fn entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

bool load_engine(EngineApi& api, std::string& error) {
  const std::string path = library_path();
  // The module stays loaded for the life of the process.
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  api.init = entry<DllInitFn>(module, "DoDaDllInit");
  api.run = entry<RunFn>(module, "ProcessDaBatBuffer");
  api.services = entry<ServicesFn>(module, "DLLServices");
  if (!api.init || !api.run) {
    error = path + " lacks DoDaDllInit or ProcessDaBatBuffer";
    return false;
  }
  return true;
}

}  // namespace orv::host
