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
#include "engine/error_numbers.h"
#include "engine/limits.h"
#include "engine/trace/markers.h"

namespace orv::steps {

inline StructEntry& top(Context& c) { return c.stack[static_cast<std::size_t>(c.depth)]; }
inline bool top_is(const Context& c, std::uint16_t kind) {
  return c.depth > 0 && c.stack[static_cast<std::size_t>(c.depth)].kind == kind;
}
inline bool has_room(const Context& c) { return c.depth < limits::kStructDepth; }

// What every entry records of the statement that opens it.
inline void name_opener(const Context& c, StructEntry& e, std::uint16_t kind, std::uint8_t skipState) {
  e.kind = kind;
  e.stmtPos = c.stmtPos;
  e.script = c.curScript;
  e.skip = skipState;
  e.breakable = c.breakable;
}

// A structure entry opened by the statement being run, built aside (for a
// step that can still fail before it pushes it).
inline StructEntry entry_of(const Context& c, std::uint16_t kind, std::uint8_t skipState) {
  StructEntry e;
  name_opener(c, e, kind, skipState);
  return e;
}

// Pushes an entry (3353 when the stack is full).
inline bool push(Context& c, const StructEntry& e) {
  if (!has_room(c)) return fail(c, errs::kNestingTooDeep);
  c.stack[static_cast<std::size_t>(++c.depth)] = e;
  return true;
}

// Empties an entry. Copied from a constant: an entry built aside in small
// stores and copied whole is read back before those stores land, which
// stalls the processor.
inline void clear_entry(StructEntry& e) {
  static constexpr StructEntry kEmpty{};
  e = kEmpty;
}

// Pushes the entry `entry_of` makes, filled in place (see clear_entry); a
// caller that checked has_room cannot fail.
inline StructEntry* open_entry(Context& c, std::uint16_t kind, std::uint8_t skipState) {
  if (!has_room(c)) {
    fail(c, errs::kNestingTooDeep);
    return nullptr;
  }
  StructEntry& e = c.stack[static_cast<std::size_t>(++c.depth)];
  clear_entry(e);
  name_opener(c, e, kind, skipState);
  return &e;
}

// Drops the innermost entry; a loop or Switch gives back the Break state it hid.
inline void pop(Context& c, bool restoreBreakable) {
  if (restoreBreakable) c.breakable = top(c).breakable;
  clear_entry(top(c));
  --c.depth;
}

namespace detail {

inline std::uint8_t skip_for(bool truth) { return truth ? skip::kRun : skip::kFalse; }

// The words other than If, Then and Else end a one-line If's reach.
inline void leave_if_state(Context& c) { c.ifState = -1; }

}  // namespace detail

// ---- Opening (each pushes one entry: false with 3353 when the stack is full) ----

// A structure inside a skipped block: skipped whole.
inline bool open_skipped(Context& c, std::uint16_t kind) {
  if (kind != sk::kIfThen) detail::leave_if_state(c);
  return open_entry(c, kind, skip::kAll) != nullptr;
}

inline bool open_if(Context& c, bool truth) {
  c.ifState = truth ? 1 : 0;
  c.conditionResult = truth;
  if (!open_entry(c, sk::kIfThen, detail::skip_for(truth))) return false;
  c.traceEvent = trace::ev::kIfBlock;
  return true;
}

inline bool open_while(Context& c, bool truth) {
  detail::leave_if_state(c);
  StructEntry* e = open_entry(c, sk::kWhile, detail::skip_for(truth));
  if (!e) return false;
  e->jump = c.stmtPos;
  c.breakable = 1;
  c.traceEvent = trace::ev::kWhile;
  c.conditionResult = truth;
  return true;
}

inline bool open_switch(Context& c, std::uint32_t value) {
  detail::leave_if_state(c);
  // The value is kept whole in two fields: the low half where a loop keeps
  // its variable, the high half where it keeps its jump.
  StructEntry* e = open_entry(c, sk::kSwitch, skip::kFalse);
  if (!e) return false;
  e->word = static_cast<std::uint16_t>(value & 0xFFFFu);
  e->jump = value >> 16;
  c.breakable = 1;
  c.traceEvent = trace::ev::kSwitch;
  return true;
}

// A Switch that goes straight to the body of its matching Case: open_switch,
// then case_reads and a matching case_value, in one step (`switchPos`: the
// Switch's own line, where c.stmtPos has moved on from). The caller has
// checked that there is room.
inline void open_switch_at_case(Context& c, std::uint32_t value, std::uint32_t switchPos) {
  StructEntry& e = c.stack[static_cast<std::size_t>(++c.depth)];
  // Every field once (cheaper than clearing the entry first).
  e.kind = sk::kSwitch;
  e.jump = value >> 16;
  e.stmtPos = switchPos;
  e.script = c.curScript;
  e.udf = limits::kNoUdf;
  e.udfState = 0;
  e.skip = skip::kRun;
  e.breakable = c.breakable;
  e.word = static_cast<std::uint16_t>(value & 0xFFFFu);
  e.collSlot = 0;
  detail::leave_if_state(c);
  c.breakable = 1;
  c.traceEvent = trace::ev::kCase;
  c.conditionResult = 1;
}

// ---- Inside a block (the caller checked the innermost structure's kind) ----

// An If's Else.
inline void else_block(Context& c) {
  StructEntry& e = top(c);
  if (e.skip == skip::kRun) e.skip = skip::kFalse;
  else if (e.skip == skip::kFalse) e.skip = skip::kRun;
  e.kind = sk::kIfElse;
  c.traceEvent = trace::ev::kElse;
  c.conditionResult = e.skip == skip::kRun;
}

// ElseIf: true when its condition is to be read (no branch has run yet).
inline bool else_if_reads(Context& c) {
  detail::leave_if_state(c);
  StructEntry& e = top(c);
  c.traceEvent = trace::ev::kElseIf;
  if (e.skip == skip::kRun) {   // a branch ran: the rest of the If is skipped
    e.skip = skip::kAll;
    return false;
  }
  return e.skip == skip::kFalse;
}

inline void else_if_taken(Context& c, bool truth) {
  c.conditionResult = truth;
  if (truth) top(c).skip = skip::kRun;
}

// Case: true when its value is to be read (no Case has matched yet).
inline bool case_reads(Context& c) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kCase;
  const std::uint8_t s = top(c).skip;
  return s == skip::kFalse || s == skip::kContinue;
}

inline void case_value(Context& c, std::uint32_t value) {
  StructEntry& e = top(c);
  const bool match = (value & 0xFFFFu) == e.word && (value >> 16) == e.jump;
  if (match) e.skip = skip::kRun;
  c.conditionResult = match;
}

// A For's test after the loop variable got its value.
inline void for_test(Context& c, bool runs) {
  detail::leave_if_state(c);
  top(c).skip = detail::skip_for(runs);
  c.traceEvent = trace::ev::kFor;
  c.conditionResult = runs;
}

// A whole-number For that steps its variable in place.
inline void for_step_whole(Context& c, std::int32_t step, std::int32_t limit) {
  Value& var = c.slots[top(c).word].v;
  // Wraps as the general combiners' 32-bit arithmetic does.
  var.i = static_cast<std::int32_t>(static_cast<std::uint32_t>(var.i) + static_cast<std::uint32_t>(step));
  for_test(c, step < 0 ? var.i >= limit : var.i <= limit);
}

// Next of a whole-number For that goes round, with its "To" clause at
// once: next_goes_round and for_step_whole in one step. The caller has
// checked that the loop goes round and its variable is a plain whole number.
// What a Next that went round leaves once its "To" clause found whether the
// loop `runs` on.
inline void for_round(Context& c, bool runs) {
  detail::leave_if_state(c);
  top(c).skip = detail::skip_for(runs);
  c.traceEvent = trace::ev::kFor;
  c.conditionResult = runs;
}

inline void next_step_whole(Context& c, std::int32_t step, std::int32_t limit) {
  Value& var = c.slots[top(c).word].v;
  var.i = static_cast<std::int32_t>(static_cast<std::uint32_t>(var.i) + static_cast<std::uint32_t>(step));
  for_round(c, step < 0 ? var.i >= limit : var.i <= limit);
}

// ForEach: `got` an element for the loop variable.
inline void foreach_test(Context& c, bool got) {
  detail::leave_if_state(c);
  if (!got) top(c).skip = skip::kFalse;
  c.traceEvent = trace::ev::kFor;
  c.conditionResult = got;
}

// Break or Continue inside a loop or Switch (c.breakable) or a skipped block.
inline void break_continue(Context& c, bool isBreak) {
  detail::leave_if_state(c);
  c.traceEvent = isBreak ? trace::ev::kBreak : trace::ev::kContinue;
  if (c.depth == 0 || top(c).skip != skip::kRun) return;   // inside a skipped block: nothing to do
  top(c).skip = isBreak ? skip::kBreak : skip::kContinue;
  c.conditionResult = 1;
}

// ---- Ending ----

// True when EndIf would carry a Break or Continue out with no block to take
// it (the text path reports 3359).
inline bool end_if_strands(const Context& c) {
  const std::uint8_t carried = c.stack[static_cast<std::size_t>(c.depth)].skip & (skip::kContinue | skip::kBreak);
  return carried != 0 && c.depth == 1;
}

inline void end_if(Context& c) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  const std::uint8_t carried = top(c).skip & (skip::kContinue | skip::kBreak);
  pop(c, false);
  if (carried) top(c).skip = static_cast<std::uint8_t>(top(c).skip | carried);
}

inline void end_while(Context& c) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  const StructEntry& e = top(c);
  if (e.skip == skip::kRun || e.skip == skip::kContinue) {
    c.pos = e.stmtPos;
    c.curScript = e.script;
  }
  pop(c, true);
}

// Next of a For or ForEach: true when the loop goes round again (c.pos at
// its test). False: the loop is over and its entry is still there for the
// caller to let go (end_loop).
inline bool next_goes_round(Context& c) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  StructEntry& e = top(c);
  if (e.skip != skip::kRun && e.skip != skip::kContinue) return false;
  e.skip = skip::kRun;
  c.pos = e.jump;
  return true;
}

inline void end_loop(Context& c) { pop(c, true); }

// A Break that runs right in a Switch block, with the lines up to its
// EndSwitch passed over: break_continue and end_switch in one step.
// `elsePassed`: an Else lies among those lines (skipped, it leaves the
// condition result 0).
inline void break_switch(Context& c, bool elsePassed) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  c.conditionResult = elsePassed ? 0 : 1;
  pop(c, true);
}

// A Switch whose Case body ran with it and broke out at once: what opening
// the block, its Case and the Break leave, with no entry opened and let go.
inline void switch_broken_at_once(Context& c, bool elsePassed) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  c.conditionResult = elsePassed ? 0 : 1;
}

inline void end_switch(Context& c) {
  detail::leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  pop(c, true);
}

}  // namespace orv::steps
