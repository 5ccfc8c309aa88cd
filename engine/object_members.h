// What the evaluator asks of the automation layer about object values it
// already holds (an array element, a variable reached through a pointer).
// The automation layer implements these; the native build refuses them.
#pragma once
#include <string>

#include "engine/context.h"

namespace orv {

// Runs the member chain that follows `start` on the line: `dotted` holds
// members already scanned ("a.b"); when empty, the chain (".a.b(1).c") is
// read at c.prog. Reads, calls and an assignment after the last member work
// as for `obj.member`. Leaves the token after the chain current.
bool object_member_chain(Context& c, const Value& start, const std::string& dotted, Operand& result);

// The text of an object value where text is needed: its default member,
// read with no arguments. 3131 when the object has none.
bool object_default_text(Context& c, const Value& object, std::string& out);

}  // namespace orv
