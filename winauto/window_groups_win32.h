// The window function groups of the Windows side, one per source file.
#pragma once
#include <windows.h>

#include "builtins/dispatch.h"

namespace orv::winauto {
// The window named by argument k, searched with the window wait count; none
// with `notFound` set as the error.
HWND window_arg(Call& call, int k, std::uint16_t notFound);

// The child named by arguments 1 (parent) and 2 (child), the parent searched
// with the window wait count; none with 1045 (parent) or 1368 (child) set.
HWND child_arg(Call& call, HWND& parent);

void register_window_commands(HandlerTable& t);
void register_window_placement(HandlerTable& t);
void register_window_lists(HandlerTable& t);
void register_window_waits(HandlerTable& t);
}  // namespace orv::winauto
