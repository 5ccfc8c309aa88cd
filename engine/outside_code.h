// Places where control passes to code outside the engine (window procedures,
// DLLs, extenders, hosts). Such code may write into texts in the string heap
// by offset, so what the engine knows about texts stops being true there.
#pragma once
#include "engine/context.h"
#include "platform/platform.h"

namespace orv {

inline void after_outside_code(Context& c) { c.heap.forget_lengths(); }

// The message queue runs window procedures, the host's among them.
inline bool pump_window_messages(Context& c, bool wait) {
  const bool quit = platform::pump_messages(wait);
  after_outside_code(c);
  return quit;
}

}  // namespace orv
