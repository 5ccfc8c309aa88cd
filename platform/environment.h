// The process's environment variables, in UTF-16. Programs the process
// starts inherit them.
#pragma once
#include <string>
#include <vector>

namespace orv::platform::environment {

// False when the variable is not set.
bool get(const std::u16string& name, std::u16string& value);
// An empty value removes the variable. False when the system refuses.
bool set(const std::u16string& name, const std::u16string& value);
// Every "NAME=VALUE" entry, in the system's order.
std::vector<std::u16string> entries();

}  // namespace orv::platform::environment
