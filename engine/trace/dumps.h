// Diagnostic dumps of the interpreter's state, written to the trace target.
#pragma once
#include <string>
#include <string_view>

#include "engine/context.h"

namespace orv::trace {

// A value as entries and dumps show it (strings cut at 255 characters).
std::string value_trace_text(Context& c, const Value& v);
std::string variable_dump(Context& c);
std::string function_dump(const Context& c);
std::string structure_dump(const Context& c);
std::string settings_dump();
// Items named in `items` (separated by spaces, commas or "|"); "all" names every one.
std::string internal_dump(const Context& c, std::string_view items);
// Where the script stands: statement, line, function, depths (DebugTrace 208).
std::string debug_data_entry(const Context& c, std::string_view note);

}  // namespace orv::trace
