// The steps of the structure words (If, While, For, ForEach, Switch and the
// words that continue and end them), shared by the text path and the compiled
// path. Each path gets its values its own way and then takes the same step
// here, so the structure stack, the trace event, the condition and the If
// state come out the same whichever path ran the line.
//
// A step that needs a certain innermost structure leaves that check to its
// caller: the text path reports the error, the compiled path hands the line
// to the text path.
#pragma once
#include <cstdint>

#include "engine/context.h"
#include "engine/limits.h"

namespace orv::steps {

inline StructEntry& top(Context& c) { return c.stack[static_cast<std::size_t>(c.depth)]; }
inline bool top_is(const Context& c, std::uint16_t kind) {
  return c.depth > 0 && c.stack[static_cast<std::size_t>(c.depth)].kind == kind;
}
inline bool has_room(const Context& c) { return c.depth < limits::kStructDepth; }

// A structure entry opened by the statement being run.
StructEntry entry_of(Context& c, std::uint16_t kind, std::uint8_t skipState);
// Pushes an entry (3353 when the stack is full).
bool push(Context& c, const StructEntry& e);
// Drops the innermost entry; a loop or Switch gives back the Break state it hid.
void pop(Context& c, bool restoreBreakable);

// ---- Opening (each pushes one entry: false with 3353 when the stack is full) ----

// A structure inside a skipped block: skipped whole.
bool open_skipped(Context& c, std::uint16_t kind);
bool open_if(Context& c, bool truth);
bool open_while(Context& c, bool truth);
bool open_switch(Context& c, std::uint32_t value);

// ---- Inside a block (the innermost structure is the right kind) ----

void else_block(Context& c);   // an If's Else
// ElseIf: true when its condition is to be read (no branch has run yet).
bool else_if_reads(Context& c);
void else_if_taken(Context& c, bool truth);
// Case: true when its value is to be read (no Case has matched yet).
bool case_reads(Context& c);
void case_value(Context& c, std::uint32_t value);
// A For's test after the loop variable got its value.
void for_test(Context& c, bool runs);
// A whole-number For that steps its variable in place.
void for_step_whole(Context& c, std::int32_t step, std::int32_t limit);
// ForEach: `got` an element for the loop variable.
void foreach_test(Context& c, bool got);
// Break or Continue inside a loop or Switch (c.breakable) or a skipped block.
void break_continue(Context& c, bool isBreak);

// ---- Ending ----

// True when EndIf would carry a Break or Continue out with no block to take
// it (the text path reports 3359).
bool end_if_strands(const Context& c);
void end_if(Context& c);
void end_while(Context& c);
// Next of a For or ForEach: true when the loop goes round again (c.pos at its
// test). False: the loop is over and its entry is still there for the caller
// to let go (end_loop).
bool next_goes_round(Context& c);
void end_loop(Context& c);
void end_switch(Context& c);

}  // namespace orv::steps
