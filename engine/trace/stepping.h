// Single stepping (Debug): the debug window before each statement the run
// loop is about to run, and the values the user asks it to show.
#pragma once
#include <string>

#include "engine/context.h"

namespace orv::trace {

// Shows the debug window for the statement `text` unless it is being skipped.
// True when the statement should run (Step or Run; Run also ends stepping);
// false with 9999 set for Cancel, or 3104 when the window cannot be shown.
bool stop_before(Context& c, const char* text);

// The value of an expression typed into the window, as "TYPE => value", or
// the error it raised. Leaves the running statement and the error state as
// they were.
std::string shown_value(Context& c, const std::string& expression);

}  // namespace orv::trace
