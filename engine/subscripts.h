// Array subscripts: "[e1, e2, ...]" read as numbers and the element they
// address. The evaluator reads and assigns elements with them; Drop and the
// variable queries address one element the same way.
#pragma once
#include <cstdint>

#include "engine/context.h"

namespace orv {

// Parses "[e1, e2, ...]" with "[" current; leaves the token after "]" current.
// False with 1633, 1634 or 1635 (or the error of a subscript) set.
bool parse_subscripts(Context& c, std::int32_t* subs, int& count);

// The element of an array value addressed by subscripts; nullptr with the error set.
Value* array_element(Context& c, const Value& array, const std::int32_t* subs, int count);

}  // namespace orv
