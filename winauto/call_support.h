// What every window, key and launch function needs from a call: its text
// arguments in UTF-16, a result in the call's width, and waits that keep the
// thread's messages and the user break alive.
#pragma once
#include <string>
#include <string_view>

#include "builtins/dispatch.h"

namespace orv::winauto {

// Argument k as UTF-16 (converted from ANSI in a narrow call); empty when absent.
std::u16string text_arg(const Call& call, int k);
// A string result of the call's width; false with 3096 when the heap is full.
bool text_result(Call& call, std::u16string_view text);

// Lets pending messages through; true once the user asked the script to stop.
bool stop_requested(Context& c);
// Waits `ms` while letting messages through; false when the user stopped the script.
bool pumping_wait(Context& c, unsigned ms);

}  // namespace orv::winauto
