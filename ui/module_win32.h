// The module that holds the dialog templates: the one this code is linked into.
#pragma once
#include <windows.h>

namespace orv::ui {

inline HINSTANCE this_module() {
  static const char anchor = 0;  // any address inside this module
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     &anchor, &module);
  return module;
}

}  // namespace orv::ui
