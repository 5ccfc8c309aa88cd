// The rules that combine values by operator (arithmetic, comparison, joining,
// unary operators, truth), apart from the grammar: the evaluator, the
// compiled path, the statements (For) and the built-ins all use them.
#pragma once
#include <string_view>

#include "engine/context.h"

namespace orv {

bool combine_arithmetic(Context& c, int op, Operand& left, Operand& right);
// The arithmetic of two numbers of which one is a float, into `out`.
bool arith_float(Context& c, int op, double a, double b, Operand& out);
bool combine_comparison(Context& c, int op, Operand& left, Operand& right, bool ignoreCase);
// Two 8-bit texts compared as texts, which is how combine_comparison compares
// them whenever one of them cannot read as a number (see may_start_number).
bool compare_ansi_texts(Context& c, int op, std::string_view a, std::string_view b, bool ignoreCase, Operand& out);
bool combine_concat(Context& c, Operand& left, Operand& right);

// Orders two integer texts of any length by value without converting them
// (-1, 0, 1); also used by array element ordering.
int compare_integer_texts(std::string_view a, std::string_view b);

// Value of a condition (If, While): 32-bit truth; false + 3057 when not numeric.
bool condition_value(Context& c, Operand& v, bool& truth);
// The value a compound assignment stores: a copy of `current` combined with
// `value` by the operator of `assignOp` (":=" joins); `value` gets it. False
// with the error set (`value` is then as it was).
bool compound_value(Context& c, int assignOp, const Value& current, Operand& value);
// Applies a unary operator (not, +, -, ~) to a value, as the evaluator does.
bool apply_unary(Context& c, int op, Operand& v);


}  // namespace orv
