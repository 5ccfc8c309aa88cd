// The groups of system built-ins, each registering its handlers.
#pragma once
#include <string>

#include "builtins/dispatch.h"
#include "builtins/system/system_rules.h"

namespace orv::sysinfo {
void register_versions(HandlerTable& t);
void register_elevation(HandlerTable& t);
void register_machine(HandlerTable& t);      // Windows only
void register_parameters(HandlerTable& t);   // Windows only

// A request's answer as the call's result; false with 3096.
bool set_answer(Call& call, const Answer& a);
}  // namespace orv::sysinfo
