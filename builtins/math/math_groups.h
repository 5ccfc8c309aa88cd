// The groups of the math family; register_math_functions adds them all.
#pragma once
#include "builtins/dispatch.h"

namespace orv::math {
void register_basic(HandlerTable& t);        // abs, fabs, int, ceiling, floor
void register_powers(HandlerTable& t);       // sqrt, exp, loge, log10
void register_trig(HandlerTable& t);         // sin ... tanh
void register_minmax(HandlerTable& t);       // min, max, average
void register_random(HandlerTable& t);       // random
void register_conversions(HandlerTable& t);  // int64, isnumber, isint, isfloat
void register_decimals(HandlerTable& t);     // decimals
}  // namespace orv::math
