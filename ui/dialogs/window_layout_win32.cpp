// Placing the dialog's controls: dialog units to pixels (from the system's
// base units or the definition's design resolution), the client area as
// defined, and controls that keep their share of it as the dialog resizes.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "ui/dialogs/run_win32.h"
#include "ui/dialogs/window_win32.h"

namespace orv::dialogs {

int screen_dpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

RECT dialog_units(const DialogRun& run) {
  RECT units{0, 0, 4, 8};
  MapDialogRect(run.hwnd, &units);
  if (run.d.dpi) {   // the design's base units at the design's resolution, seen at ours
    const int dpi = screen_dpi();
    units.right = MulDiv(run.d.baseX ? run.d.baseX : units.right, dpi, run.d.dpi);
    units.bottom = MulDiv(run.d.baseY ? run.d.baseY : units.bottom, dpi, run.d.dpi);
  }
  units.right = std::max<LONG>(units.right, 1);
  units.bottom = std::max<LONG>(units.bottom, 1);
  return units;
}

void to_pixels(const DialogRun& run, RECT& r) {
  const RECT units = dialog_units(run);
  r.left = MulDiv(r.left, units.right, 4);
  r.right = MulDiv(r.right, units.right, 4);
  r.top = MulDiv(r.top, units.bottom, 8);
  r.bottom = MulDiv(r.bottom, units.bottom, 8);
}

// The client area as defined, whatever the menu bar or a design resolution
// did to the size the template gave.
void size_window(DialogRun& run) {
  RECT wanted{0, 0, run.d.width, run.d.height}, client{};
  to_pixels(run, wanted);
  GetClientRect(run.hwnd, &client);
  if (client.right == wanted.right && client.bottom == wanted.bottom) return;
  AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_STYLE)), GetMenu(run.hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_EXSTYLE)));
  SetWindowPos(run.hwnd, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Controls keep their share of the client area: places and sizes grow and
// shrink with the dialog, all moved in one deferred move so that they are
// drawn once.
void layout_controls(DialogRun& run) {
  RECT design{0, 0, run.d.width, run.d.height}, client{};
  to_pixels(run, design);
  GetClientRect(run.hwnd, &client);
  if (design.right <= 0 || design.bottom <= 0 || client.right <= 0 || client.bottom <= 0) return;
  // At the defined size a control stands where its units put it; at any other
  // size its units are scaled to the client area directly (scaling pixels that
  // were rounded already would grow the rounding with the dialog).
  const bool definedWidth = client.right == design.right, definedHeight = client.bottom == design.bottom;
  HDWP moves = BeginDeferWindowPos(static_cast<int>(run.windows.size()));
  for (std::size_t i = 0; moves && i < run.windows.size(); ++i) {
    const Control& k = run.d.controls[i];
    const HWND w = run.windows[i].hwnd;
    if (!w) continue;
    RECT r{k.x, k.y, k.x + k.width, k.y + k.height};
    to_pixels(run, r);
    if (!definedWidth) {
      r.left = MulDiv(k.x, client.right, run.d.width);
      r.right = MulDiv(k.x + k.width, client.right, run.d.width);
    }
    if (!definedHeight) {
      r.top = MulDiv(k.y, client.bottom, run.d.height);
      r.bottom = MulDiv(k.y + k.height, client.bottom, run.d.height);
    }
    const int height = (r.bottom - r.top) * (k.type == kDropListBox ? 6 : 1);
    moves = DeferWindowPos(moves, w, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (moves) EndDeferWindowPos(moves);
  for (const ControlWindow& cw : run.windows)   // a spinner's arrows follow their edit part
    if (cw.partner) SendMessageW(cw.partner, UDM_SETBUDDY, reinterpret_cast<WPARAM>(cw.hwnd), 0);
}

POINT client_units(DialogRun& run) {
  RECT client{};
  GetClientRect(run.hwnd, &client);
  const RECT units = dialog_units(run);
  // Rounded: pixels scaled down from units must give the same units back.
  return {(client.right * 4 + units.right / 2) / units.right, (client.bottom * 8 + units.bottom / 2) / units.bottom};
}

void min_track_size(DialogRun& run, MINMAXINFO& info) {
  RECT r{0, 0, run.d.minWidth, run.d.minHeight};
  to_pixels(run, r);
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_STYLE)), GetMenu(run.hwnd) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrW(run.hwnd, GWL_EXSTYLE)));
  info.ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
}

}  // namespace orv::dialogs
