// The plain-number forms of compiled expressions (see engine/compiled.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/compiled.h"

namespace orv {

// Marks the nodes from `from` on that the integer form and the number form
// cover; operands come before the node that uses them.
void mark_forms(CompiledLine& line, std::size_t from);

// Whether the integer form covers arithmetic operator `op` (+ - * mod);
// it covers every comparison.
bool int_arithmetic(int op);

// The register form of an integral binary operator or comparison (kAdd ...
// kGe), and the step of an integral unary operator other than "+".
IntStep::Code int_operator_code(int op);
IntStep::Code int_unary_code(int op);

// Lays out the integer form of an integral node into registers from `reg`
// on; false when it needs more registers than there are.
bool emit_int(CompiledLine& line, std::int32_t index, std::uint8_t reg);

// The same for the number form of a numeric node.
bool emit_number(CompiledLine& line, std::int32_t index, std::uint8_t reg);

}  // namespace orv
