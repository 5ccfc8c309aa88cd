// The module that holds the dialog templates (the one this code is linked into),
// and what the boxes of ui/ share.
#pragma once
#include <windows.h>

#include <string>

namespace orv::ui {

inline HINSTANCE this_module() {
  static const char anchor = 0;  // any address inside this module
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     &anchor, &module);
  return module;
}

// The text of a dialog's control.
inline std::u16string control_text(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  const int n = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(control, text.data(), n + 1);
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), static_cast<std::size_t>(got > 0 ? got : 0));
}

}  // namespace orv::ui
