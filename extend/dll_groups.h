// Registration of the DLL-calling built-ins, one group per file.
#pragma once
#include "builtins/dispatch.h"

namespace orv::dll {
void register_calls(HandlerTable& t);
void register_modules(HandlerTable& t);
void register_structs(HandlerTable& t);
void register_callbacks(HandlerTable& t);

// A message box, or a line on standard error when the host takes reports
// itself (a console run has nobody to press OK).
void notify(Context& c, const std::string& text, const std::string& caption);

// Loads a DLL by file name: 1299 when it is not found, 1300 when it cannot be loaded.
void* load_dll(Context& c, const std::string& file);
}  // namespace orv::dll
