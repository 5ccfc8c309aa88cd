// The run loop, error handling around each statement, and Call.
#pragma once
#include <string>
#include "engine/compiled_statement.h"
#include "engine/context.h"

namespace orv {

// Runs the prepared script `index` of c.scripts from its first line to its end,
// a Return into its frame, Exit or an unhandled error.
void run_script(Context& c, std::uint32_t index);

// Where the statements of a script start (past the line that records where
// its text came from). Kept with the script: a function's body starts there
// at every call, so the kept answer is read inline.
std::uint32_t find_first_statement(Script& s);
inline std::uint32_t first_statement(Script& s) {
  return s.firstStatementOf == s.textVersion ? s.firstStatement : find_first_statement(s);
}

// Goes on with the current script from where run_compiled_statements left
// it (`started` and `startedDue` as it returned them), as run_script does.
void continue_script(Context& c, StatementRun started, bool startedDue);

// Lets window messages through when the throttle says they are due, as
// between statements; a user's break leaves c.cancelRequested set.
void look_at_messages(Context& c);

// Runs another script file in the current frame (the built-in Call).
bool call_script(Context& c, const std::string& file, const Value& params, Operand& result);

// Sets param1..paramN and Param0 from a parameter string.
bool set_parameters(Context& c, std::string_view params);
// The same for ParseData: answers the count, or -1 with the error set.
std::int32_t parse_parameters(Context& c, std::string_view params);
std::int32_t parse_parameters(Context& c, std::u16string_view params);


}  // namespace orv
