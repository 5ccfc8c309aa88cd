// The statement executor: structure words, commands, and expression statements.
#pragma once
#include "engine/context.h"

namespace orv {

// Runs one statement whose text starts at `text` (inside c.line). The
// statement's value is left in `result`; c.pos changes when the statement jumps.
bool execute_statement(Context& c, Operand& result, char* text);

// True when the innermost structure is being skipped.
inline bool skipping(const Context& c) { return c.depth > 0 && c.stack[static_cast<std::size_t>(c.depth)].skip != 0; }

// Finds a label line; returns its position or false (3033).
bool find_label(Context& c, const char* label, std::uint32_t& target);

}  // namespace orv
