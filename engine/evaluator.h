// The expression evaluator: recursive descent, one routine per precedence level.
#pragma once
#include <string_view>

#include "engine/combiners.h"
#include "engine/context.h"

namespace orv {

// Evaluates one expression (or one assignment when allowed) starting at the
// current token; leaves the first token after it current. False on error.
bool process_sub_expression(Context& c, Operand& result, bool assignAllowed, bool pointerTarget);

}  // namespace orv
