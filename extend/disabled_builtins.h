// Built-in functions a host or extender has switched off for one context
// (DLLServices request 24). A disabled function is still a keyword; calling it
// is refused like a function this build does not offer.
#pragma once
#include <string_view>

namespace orv {
struct Context;
}

namespace orv::ext {

bool builtin_disabled(const Context& c, int id);
// Disables or re-enables the built-in function of that name; false when the
// name is no built-in function.
bool set_builtin_disabled(Context& c, std::string_view name, bool disabled);

}  // namespace orv::ext
