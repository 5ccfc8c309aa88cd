// The trace target: a file appended to by each write, or the debugger output.
#pragma once
#include <string>
#include <string_view>

namespace orv::trace {

// "*DEBUGDATA*" as it is (any case), anything else as a full path.
std::string target_path(std::string_view text);
bool is_debugger_target(std::string_view target);
// Opens, appends and closes again, so the file is complete whenever the
// script stops; false when the file cannot be written.
bool append_to_target(const std::string& target, std::string_view text);
void delete_target(const std::string& target);

}  // namespace orv::trace
