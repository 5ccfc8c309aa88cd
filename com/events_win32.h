// Events: a sink on the object's default source interface that calls the
// script's user-defined functions.
#pragma once
#include "com/com_win32.h"

namespace orv::com {

// Disconnects and drops the object's sink, if any.
void detach_sink(ComObject& o);

}  // namespace orv::com
