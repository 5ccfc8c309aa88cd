#include "engine/structure_steps.h"

#include "engine/context.h"
#include "engine/trace/markers.h"

namespace orv::steps {

StructEntry entry_of(Context& c, std::uint16_t kind, std::uint8_t skipState) {
  StructEntry e;
  e.kind = kind;
  e.stmtPos = c.stmtPos;
  e.script = c.curScript;
  e.skip = skipState;
  e.breakable = c.breakable;
  return e;
}

bool push(Context& c, const StructEntry& e) {
  if (!has_room(c)) return fail(c, 3353);
  c.stack[static_cast<std::size_t>(++c.depth)] = e;
  return true;
}

void pop(Context& c, bool restoreBreakable) {
  if (restoreBreakable) c.breakable = top(c).breakable;
  top(c) = StructEntry{};
  --c.depth;
}

namespace {

std::uint8_t skip_for(bool truth) { return truth ? skip::kRun : skip::kFalse; }

// The words other than If, Then and Else end a one-line If's reach.
void leave_if_state(Context& c) { c.ifState = -1; }

}  // namespace

bool open_skipped(Context& c, std::uint16_t kind) {
  if (kind != sk::kIfThen) leave_if_state(c);
  return push(c, entry_of(c, kind, skip::kAll));
}

bool open_if(Context& c, bool truth) {
  c.ifState = truth ? 1 : 0;
  c.conditionResult = truth;
  if (!push(c, entry_of(c, sk::kIfThen, skip_for(truth)))) return false;
  c.traceEvent = trace::ev::kIfBlock;
  return true;
}

bool open_while(Context& c, bool truth) {
  leave_if_state(c);
  StructEntry e = entry_of(c, sk::kWhile, skip_for(truth));
  e.jump = c.stmtPos;
  if (!push(c, e)) return false;
  c.breakable = 1;
  c.traceEvent = trace::ev::kWhile;
  c.conditionResult = truth;
  return true;
}

bool open_switch(Context& c, std::uint32_t value) {
  leave_if_state(c);
  // The value is kept whole in two fields: the low half where a loop keeps
  // its variable, the high half where it keeps its jump.
  StructEntry e = entry_of(c, sk::kSwitch, skip::kFalse);
  e.word = static_cast<std::uint16_t>(value & 0xFFFFu);
  e.jump = value >> 16;
  if (!push(c, e)) return false;
  c.breakable = 1;
  c.traceEvent = trace::ev::kSwitch;
  return true;
}

void else_block(Context& c) {
  StructEntry& e = top(c);
  if (e.skip == skip::kRun) e.skip = skip::kFalse;
  else if (e.skip == skip::kFalse) e.skip = skip::kRun;
  e.kind = sk::kIfElse;
  c.traceEvent = trace::ev::kElse;
  c.conditionResult = e.skip == skip::kRun;
}

bool else_if_reads(Context& c) {
  leave_if_state(c);
  StructEntry& e = top(c);
  c.traceEvent = trace::ev::kElseIf;
  if (e.skip == skip::kRun) {   // a branch ran: the rest of the If is skipped
    e.skip = skip::kAll;
    return false;
  }
  return e.skip == skip::kFalse;
}

void else_if_taken(Context& c, bool truth) {
  c.conditionResult = truth;
  if (truth) top(c).skip = skip::kRun;
}

bool case_reads(Context& c) {
  leave_if_state(c);
  c.traceEvent = trace::ev::kCase;
  const std::uint8_t s = top(c).skip;
  return s == skip::kFalse || s == skip::kContinue;
}

void case_value(Context& c, std::uint32_t value) {
  StructEntry& e = top(c);
  const bool match = (value & 0xFFFFu) == e.word && (value >> 16) == e.jump;
  if (match) e.skip = skip::kRun;
  c.conditionResult = match;
}

void for_test(Context& c, bool runs) {
  leave_if_state(c);
  top(c).skip = skip_for(runs);
  c.traceEvent = trace::ev::kFor;
  c.conditionResult = runs;
}

void for_step_whole(Context& c, std::int32_t step, std::int32_t limit) {
  Value& var = c.slots[top(c).word].v;
  // Wraps as the general combiners' 32-bit arithmetic does.
  var.i = static_cast<std::int32_t>(static_cast<std::uint32_t>(var.i) + static_cast<std::uint32_t>(step));
  for_test(c, step < 0 ? var.i >= limit : var.i <= limit);
}

void foreach_test(Context& c, bool got) {
  leave_if_state(c);
  if (!got) top(c).skip = skip::kFalse;
  c.traceEvent = trace::ev::kFor;
  c.conditionResult = got;
}

void break_continue(Context& c, bool isBreak) {
  leave_if_state(c);
  c.traceEvent = isBreak ? trace::ev::kBreak : trace::ev::kContinue;
  if (c.depth == 0 || top(c).skip != skip::kRun) return;   // inside a skipped block: nothing to do
  top(c).skip = isBreak ? skip::kBreak : skip::kContinue;
  c.conditionResult = 1;
}

bool end_if_strands(const Context& c) {
  const std::uint8_t carried = c.stack[static_cast<std::size_t>(c.depth)].skip & (skip::kContinue | skip::kBreak);
  return carried != 0 && c.depth == 1;
}

void end_if(Context& c) {
  leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  const std::uint8_t carried = top(c).skip & (skip::kContinue | skip::kBreak);
  pop(c, false);
  if (carried) top(c).skip = static_cast<std::uint8_t>(top(c).skip | carried);
}

void end_while(Context& c) {
  leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  const StructEntry& e = top(c);
  if (e.skip == skip::kRun || e.skip == skip::kContinue) {
    c.pos = e.stmtPos;
    c.curScript = e.script;
  }
  pop(c, true);
}

bool next_goes_round(Context& c) {
  leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  StructEntry& e = top(c);
  if (e.skip != skip::kRun && e.skip != skip::kContinue) return false;
  e.skip = skip::kRun;
  c.pos = e.jump;
  return true;
}

void end_loop(Context& c) { pop(c, true); }

void end_switch(Context& c) {
  leave_if_state(c);
  c.traceEvent = trace::ev::kEnd;
  pop(c, true);
}

}  // namespace orv::steps
