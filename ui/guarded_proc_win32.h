// Nothing thrown may cross the system's message dispatch: a dialog procedure
// that meets an exception (in practice a failed allocation) ends its dialog
// with -1, which every caller already treats as "the box could not be shown".
#pragma once
#include <windows.h>

namespace orv::ui {

template <class Body>
INT_PTR guarded_dialog_proc(HWND dialog, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    EndDialog(dialog, -1);
    return TRUE;
  }
}

}  // namespace orv::ui
