// Diagnostic dumps of the interpreter's state, written to the trace target.
#pragma once
#include <string>
#include <string_view>

#include "engine/context.h"

namespace orv::trace {

// A value as a trace entry shows it and as the variable table dump shows it
// (strings cut at 255 characters in both).
std::string value_entry_text(Context& c, const Value& v);
std::string value_dump_text(Context& c, const Value& v);
std::string variable_dump(Context& c);
std::string function_dump(const Context& c);
std::string structure_dump(const Context& c);
std::string settings_dump();
// Items named in `items` (separated by spaces, commas or "|"); "all" names every one.
std::string internal_dump(const Context& c, std::string_view items);
// Where the script stands: statement, line, function, depths (DebugTrace 208).
std::string debug_data_entry(const Context& c, std::string_view note);

}  // namespace orv::trace
