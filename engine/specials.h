// Special functions that parse their own arguments: Drop, IsDefined, VarType,
// ObjectTypeGet, the pointer functions and ?makepointer.
#pragma once
#include "engine/context.h"

namespace orv {
// The current token is the function name; leaves the token after ")" current.
bool call_special(Context& c, int id, Operand& result);
}  // namespace orv
