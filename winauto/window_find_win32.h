// The window finder of the Windows side: title patterns, window ids, child
// windows, retries, activation. Every function that names a window uses it.
#pragma once
#include <windows.h>

#include <string>

#include "engine/context.h"

namespace orv::winauto {

// Title of a window, at most 2050 characters.
std::u16string window_title(HWND window, int limit = 2050);
// Whether the window machinery works (a display is there); probed once.
bool display_available();

// Top-level window by name: empty = own window, window id, or title pattern
// with `retries` one-second retries (none without a display).
HWND find_window(Context& c, const std::u16string& name, int retries);
// The window wait count of the context.
int wait_count(const Context& c);
// A child (any descendant) of the parent found by name; `parentOut` tells a
// missing parent from a missing child.
HWND find_child(Context& c, const std::u16string& parent, const std::u16string& child, int parentRetries,
                HWND* parentOut);

void activate_window(Context& c, HWND window);
// Waits the post-message delay after a command posted to a window.
void after_post(Context& c);
// Posts a system command (minimise, maximise, restore, close) and waits the
// post-message delay; for a state change it also waits, up to two seconds,
// until the window has made it and kept it, so that the next line sees the
// new state.
void post_system_command(Context& c, HWND window, WPARAM command);
// The own window of the run (0 when the host gave none).
inline HWND own_window(const Context& c) { return reinterpret_cast<HWND>(c.ownWindow); }

// The full path of the program that owns a window (for the own window, the
// host program).
std::u16string executable_of(Context& c, HWND w);

// A console or DOS window, by its class.
bool is_console_window(HWND w);

// Titles of windows to skip by name.
inline bool is_winoldap(const std::u16string& title) { return title == u"WinOldAp"; }

}  // namespace orv::winauto
