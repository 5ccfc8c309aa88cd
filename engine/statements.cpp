#include "engine/statements.h"

#include <cstring>
#include <string>

#include "engine/error_numbers.h"
#include "engine/outside_code.h"
#include "engine/object_hooks.h"
#include "engine/arrays.h"
#include "engine/convert.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/maps.h"
#include "engine/messages.h"
#include "engine/script.h"
#include "engine/structure_steps.h"
#include "engine/trace/markers.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {
namespace {

using steps::entry_of;
using steps::pop;
using steps::top;

void drop_hidden_collection(Context& c, const StructEntry& e);

std::uint32_t buffer_position(const Context& c, const char* at) {
  return c.stmtPos + static_cast<std::uint32_t>(at - c.line);
}

bool must_end(Context& c) {
  if (!at_end(c)) return fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd));
  return true;
}

// Reads past a multiline string constant that starts on a skipped line.
void skip_statement_tokens(Context& c) {
  // A line whose tokens are cached holds no multiline constant: nothing to
  // read past, only the names a scan would declare.
  if (c.replay && c.replay->usable && c.prog >= c.line && c.prog < c.line + sizeof c.line &&
      declare_remaining_names(c)) {
    c.prog += std::strlen(c.prog);
    c.tokKind = tk::kEnd;
    c.token[0] = '\0';
    c.delim = 0;
    return;
  }
  while (!at_end(c)) {
    if (c.tokKind == tk::kMultiline) {
      Operand ignored;
      clear_operand(ignored);
      if (read_multiline_constant(c, ignored)) release_value(c, ignored);
      else return;
    }
    get_token(c);
    if (failed(c)) {
      c.error = 0;
      if (*c.prog) ++c.prog;
    }
  }
}

// Evaluates a condition expression starting at the current token.
bool eval_condition(Context& c, bool& truth) {
  Temp v(c);
  if (!process_sub_expression(c, v.op(), false, false)) return false;
  return condition_value(c, v.op(), truth);
}

// ---- If / ElseIf / Else ----

bool is_jump_marker(char ch) { return ch == kGotoMarker || ch == kGosubMarker; }

bool run_rest_as_statement(Context& c, Operand& result, bool run) {
  while (*c.prog == ' ' || *c.prog == '\t') ++c.prog;
  if (run) return execute_statement(c, result, c.prog);
  // A GoTo or GoSub rewritten with its target holds no tokens to read past.
  if (is_jump_marker(*c.prog)) return true;
  get_token(c);
  if (failed(c)) { c.error = 0; return true; }
  skip_statement_tokens(c);
  return true;
}

bool do_if(Context& c, Operand& result) {
  if (skipping(c)) {
    for (;;) {
      get_token(c);
      if (failed(c)) { c.error = 0; if (*c.prog) ++c.prog; continue; }
      if (at_end(c) || is_keyword(c, id::kThen)) break;
    }
    // What follows Then decides the form, as when the line runs; a rewritten
    // jump there is a statement too, not the end of a block If line.
    const char* rest = c.prog;
    while (*rest == ' ' || *rest == '\t') ++rest;
    if (at_end(c) || *rest == '\0' || *rest == ';') return steps::open_skipped(c, sk::kIfThen);
    return run_rest_as_statement(c, result, false);
  }
  get_token(c);
  if (failed(c)) return false;
  bool truth = false;
  if (!eval_condition(c, truth)) return false;
  const bool hasThen = is_keyword(c, id::kThen);
  if (!hasThen && !at_end(c) && !(c.tokKind == tk::kKeyword && keyword_kind(c, c.delim) == kk::kStructure))
    return fail(c, errs::kThenMissing, message_text(errs::kHintExtraPunctuation));
  char* rest = hasThen ? c.prog : c.tokenStart;
  const char* probe = rest;
  while (*probe == ' ' || *probe == '\t') ++probe;
  if (at_end(c) || *probe == '\0' || *probe == ';') return steps::open_if(c, truth);
  c.ifState = truth ? 1 : 0;
  c.conditionResult = truth;
  c.traceEvent = trace::ev::kSingleIf;
  c.prog = rest;
  const int saved = c.ifState;
  const std::uint32_t posBefore = c.pos;
  if (!run_rest_as_statement(c, result, truth)) return false;
  if (c.traceEvent == trace::ev::kValue || c.traceEvent == trace::ev::kSkipped) {   // a plain or skipped statement: the If's own event
    c.traceEvent = trace::ev::kSingleIf;
    c.conditionResult = truth;
  }
  // A jump (GoTo, GoSub, Return) leaves the state its target needs: Return
  // brings back the one of its GoSub. Otherwise a single-line Else on a later
  // line relates to this If, unless the statement reset the state.
  if (c.pos == posBefore && c.ifState != -1) c.ifState = saved;
  return true;
}

bool do_else(Context& c, Operand& result) {
  const char* probe = c.prog;
  while (*probe == ' ' || *probe == '\t') ++probe;
  if (*probe != '\0' && *probe != ';') {
    if (skipping(c)) {
      if (is_jump_marker(*probe)) return true;
      get_token(c);
      if (failed(c)) c.error = 0;
      skip_statement_tokens(c);
      return true;
    }
    if (c.ifState == -1) return fail(c, errs::kNoIfForElse);
    const bool run = c.ifState == 0;
    const bool ok = run_rest_as_statement(c, result, run);
    if (c.traceEvent == trace::ev::kValue || c.traceEvent == trace::ev::kSkipped) {
      c.traceEvent = trace::ev::kSingleIf;
      c.conditionResult = run;
    }
    return ok;
  }
  if (c.depth == 0) return fail(c, errs::kEndUnmatched);
  if (top(c).kind != sk::kIfThen) return fail(c, errs::kElseUnmatched);
  steps::else_block(c);
  return true;
}

bool do_elseif(Context& c) {
  if (!steps::top_is(c, sk::kIfThen)) return fail(c, errs::kElseIfUnmatched);
  if (!steps::else_if_reads(c)) return true;
  get_token(c);
  if (failed(c)) return false;
  bool truth = false;
  if (!eval_condition(c, truth)) return false;
  if (is_keyword(c, id::kThen)) {
    get_token(c);
    if (failed(c)) return false;
    if (!at_end(c)) return fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd));
  } else if (!at_end(c)) {
    return fail(c, errs::kThenMissing, message_text(errs::kHintExtraPunctuation));
  }
  steps::else_if_taken(c, truth);
  return true;
}

// ---- End words ----

bool end_matches(int word, std::uint16_t kind) {
  switch (word) {
    case id::kEndIf: return kind == sk::kIfThen || kind == sk::kIfElse;
    case id::kEndWhile: return kind == sk::kWhile;
    case id::kEndSwitch: return kind == sk::kSwitch;
    case id::kNext: return kind == sk::kFor || kind == sk::kForEach;
    default: return false;
  }
}

bool do_end(Context& c, int word) {
  if (word == id::kEnd) {
    get_token(c);
    if (failed(c)) return false;
    int next = c.tokKind == tk::kKeyword ? c.delim : -1;
    if (next == id::kIf) word = id::kEndIf;
    else if (next == id::kWhile) word = id::kEndWhile;
    else if (next == id::kSwitch || next == id::kSelect) word = id::kEndSwitch;
    else if (next == id::kFor) word = id::kNext;
    else return fail(c, errs::kEndBadKeyword);
  }
  if (word == id::kEndFor) word = id::kNext;
  if (word == id::kEndSelect) word = id::kEndSwitch;
  if (c.depth == 0) return fail(c, errs::kEndUnmatched);
  if (!end_matches(word, top(c).kind)) return fail(c, errs::kEndNoMatch);
  switch (word) {
    case id::kEndWhile:
      steps::end_while(c);
      return true;
    case id::kNext:
      if (steps::next_goes_round(c)) return true;
      if (top(c).kind == sk::kForEach) {
        com_loop_ended(c, c.foreachPos[static_cast<std::size_t>(c.depth)]);
        drop_hidden_collection(c, top(c));
      }
      steps::end_loop(c);
      return true;
    case id::kEndSwitch:
      steps::end_switch(c);
      return true;
    default:  // EndIf
      if (steps::end_if_strands(c)) {
        c.traceEvent = trace::ev::kEnd;
        pop(c, false);
        return fail(c, errs::kBreakOutsideLoop);
      }
      steps::end_if(c);
      return true;
  }
}

// ---- While ----

bool do_while(Context& c) {
  if (skipping(c)) return steps::open_skipped(c, sk::kWhile);
  get_token(c);
  if (failed(c)) return false;
  if (at_end(c)) return fail(c, errs::kIncompleteStatement);
  bool truth = false;
  if (!eval_condition(c, truth)) return false;
  if (!must_end(c)) return false;
  return steps::open_while(c, truth);
}

// ---- For ----

bool numeric_value(Context& c, Operand& v) {
  if (!to_numeric(c, v, true)) { c.error = 0; return fail(c, errs::kForCounterNotNumber); }
  return true;
}

// Position of the "To" word of a For line in the script buffer.
std::uint32_t raw_to_position(const Context& c, const char* toInLine) {
  if (!c.lineSubstituted) return buffer_position(c, toInLine);
  const std::string& t = c.scripts[c.curScript]->text;
  std::size_t p = c.stmtPos;
  const std::size_t end = t.find('\n', p);
  char quote = 0;
  bool seenEquals = false;
  for (; p < end && p < t.size(); ++p) {
    char ch = t[p];
    if (quote) { if (ch == quote) quote = 0; continue; }
    if (ch == '"' || ch == '\'' || ch == '`') { quote = ch; continue; }
    if (ch == '=') seenEquals = true;
    if (seenEquals && (ch == 't' || ch == 'T') && (t[p + 1] == 'o' || t[p + 1] == 'O') &&
        !is_name_char(t[p - 1]) && !is_name_char(t[p + 2]))
      return static_cast<std::uint32_t>(p);
  }
  return buffer_position(c, toInLine);
}

bool to_clause(Context& c, bool loopBack) {
  if (c.depth == 0 || top(c).kind != sk::kFor) return fail(c, errs::kToWithoutFor);
  StructEntry& e = top(c);
  const std::uint16_t slot = e.word;
  get_token(c);
  if (failed(c)) return false;
  Temp limit(c);
  if (!process_sub_expression(c, limit.op(), false, false)) return false;
  if (!numeric_value(c, limit.op())) return false;
  if (loopBack && at_end(c) && c.slots[slot].v.flags == vf::kInt && limit->flags == vf::kInt) {
    // A whole-number loop with the implicit step of 1: no copies, no combiners.
    steps::for_step_whole(c, 1, limit->i);
    return true;
  }
  if (!is_assigned(c.slots[slot].v)) return fail(c, errs::kForCounterNotNumber);
  Temp var(c);
  if (!copy_value(c, c.slots[slot].v, var.op())) return false;
  if (!numeric_value(c, var.op())) return false;
  Temp step(c);
  if (at_end(c)) {
    if (var->flags & vf::kInt64 && !(var->flags & (vf::kInt | vf::kFloat))) make_int64(step.op(), 1);
    else make_int(step.op(), 1);
  } else if (is_keyword(c, id::kBy)) {
    get_token(c);
    if (failed(c)) return false;
    if (!process_sub_expression(c, step.op(), false, false)) return false;
    if (!numeric_value(c, step.op())) return false;
    if (!must_end(c)) return false;
  } else {
    return fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd));
  }
  // Whole-number loops, the common case, step without the general combiners.
  if (loopBack && c.slots[slot].v.flags == vf::kInt && step->flags == vf::kInt && limit->flags == vf::kInt) {
    steps::for_step_whole(c, step->i, limit->i);
    return true;
  }
  if (loopBack) {
    Temp inc(c);
    if (!copy_value(c, step.op(), inc.op())) return false;
    if (!combine_arithmetic(c, id::kPlus, var.op(), inc.op())) return false;
    Value stored{};
    Temp keep(c);
    if (!copy_value(c, var.op(), keep.op())) return false;
    keep.move_to(stored);
    stored.flags &= ~vf::kStr;
    store_in_slot(c, slot, stored);
  }
  const bool descending = (step->flags & vf::kFloat) ? step->wide.f < 0
                        : (step->flags & vf::kInt64 && !(step->flags & vf::kInt)) ? step->wide.i64 < 0
                                                                                   : step->i < 0;
  if (!combine_comparison(c, descending ? id::kGe : id::kLe, var.op(), limit.op(), false)) return false;
  steps::for_test(c, var->i != 0);
  return true;
}

bool do_for(Context& c) {
  if (skipping(c)) return steps::open_skipped(c, sk::kFor);
  get_token(c);
  if (failed(c)) return false;
  if (c.tokKind != tk::kVariable) return fail(c, errs::kForBadSyntax);
  std::uint16_t slot = find_slot(c, c.token);
  if (slot == kNotFound) return fail(c, errs::kUndefinedName);
  get_token(c);
  if (failed(c)) return false;
  if (!is_keyword(c, id::kAssign)) return fail(c, errs::kForBadSyntax);
  get_token(c);
  if (failed(c)) return false;
  Temp start(c);
  if (!process_sub_expression(c, start.op(), false, false)) return false;
  if (!numeric_value(c, start.op())) return false;
  if (!is_keyword(c, id::kTo)) return fail(c, errs::kForBadSyntax);
  Value stored{};
  start->flags &= ~(vf::kStr | vf::kWide);
  if (start->str) { c.heap.free(start->str); start->str = 0; }
  if (start->wstr) { c.heap.free(start->wstr); start->wstr = 0; }
  start.move_to(stored);
  store_in_slot(c, slot, stored);
  StructEntry* e = steps::open_entry(c, sk::kFor, skip::kRun);
  if (!e) return false;
  e->jump = raw_to_position(c, c.tokenStart);
  e->word = slot;
  c.breakable = 1;
  c.prog = c.tokenStart;   // the "To" clause reads "To" itself
  get_token(c);
  return to_clause(c, false);
}

// ---- ForEach ----

// Assigns the next initialised element of the collection to the loop
// variable; false when there is none left.
bool next_element(Context& c, StructEntry& e, std::uint32_t& position, bool& got) {
  got = false;
  const Value& coll = c.slots[e.collSlot].v;
  if (coll.flags & vf::kComObject) {
    Value element{};
    if (!com_next_element(c, coll, position, element, got)) return false;
    return !got || store_in_slot(c, e.word, element);
  }
  if (!(coll.flags & vf::kArray)) return fail(c, errs::kNotArrayVariable);
  if (const MapStore* map = map_of(c, coll)) {
    // A map gives its keys in insertion order; the position is an insertion
    // number, so keys the body removes before their turn are not visited,
    // and keys it adds are visited after the others.
    const MapStore::Entry* entry = map->at_or_after(position);
    if (!entry) return true;
    position = entry->seq + 1;
    Value key{};
    if (!map_key_value(c, *map, *entry, key)) return false;
    if (!store_in_slot(c, e.word, key)) return false;
    got = true;
    return true;
  }
  const ArrayHeader* h = c.arrays.header(coll.str);
  if (!h) return fail(c, errs::kArrayAccessFailed);
  const Value* els = c.arrays.elements(coll.str);
  while (position < h->count && !is_assigned(els[position])) ++position;
  if (position >= h->count) return true;
  Value copy{};
  if (!copy_value(c, els[position++], copy)) return false;
  if (!store_in_slot(c, e.word, copy)) return false;
  got = true;
  return true;
}

void drop_hidden_collection(Context& c, const StructEntry& e) {
  if (e.collSlot < c.hwm && (c.slots[e.collSlot].v.flags & vf::kAttached)) drop_slot(c, e.collSlot);
}

bool do_foreach(Context& c) {
  if (c.depth > 0 && top(c).kind == sk::kForEach && top(c).jump == c.stmtPos && top(c).skip == skip::kRun) {
    bool got = false;
    if (!next_element(c, top(c), c.foreachPos[static_cast<std::size_t>(c.depth)], got)) return false;
    steps::foreach_test(c, got);
    return true;
  }
  if (skipping(c)) return steps::open_skipped(c, sk::kForEach);
  get_token(c);
  if (failed(c)) return false;
  if (c.tokKind != tk::kVariable) return fail(c, errs::kForEachBadSyntax);
  const std::uint16_t loopSlot = find_slot(c, c.token);
  if (loopSlot == kNotFound) return fail(c, errs::kUndefinedName);
  get_token(c);
  if (failed(c)) return false;
  if (c.tokKind != tk::kVariable || std::strcmp(c.token, "in") != 0) return fail(c, errs::kForEachBadSyntax);
  get_token(c);
  if (failed(c)) return false;
  if (at_end(c)) return fail(c, errs::kForEachBadSyntax);
  StructEntry e = entry_of(c, sk::kForEach, skip::kRun);
  e.jump = c.stmtPos;
  e.word = loopSlot;
  if (c.tokKind == tk::kVariable) {
    // A plain variable is enumerated where it stands.
    ScanState at = save_scan(c);
    std::string name = c.token;
    get_token(c);
    if (!failed(c) && at_end(c)) {
      std::uint16_t slot = find_var(c, name, true);
      if (slot == kNotFound) return false;
      e.collSlot = slot;
    }
    c.error = 0;
    restore_scan(c, at);
  }
  if (e.collSlot == 0) {
    Temp coll(c);
    if (!process_sub_expression(c, coll.op(), false, false)) return false;
    if (!must_end(c)) return false;
    const std::string hidden = "@tempcolvar" + int_to_text(c.depth + 1, 16);
    std::uint16_t slot = find_or_create_slot(c, lower_name(hidden));
    if (slot == kNotFound) return false;
    Value stored{};
    coll.move_to(stored);
    if (!store_in_slot(c, slot, stored)) return false;
    c.slots[slot].v.flags |= vf::kAttached;
    e.collSlot = slot;
  }
  if (!steps::push(c, e)) {
    drop_hidden_collection(c, e);
    return false;
  }
  c.breakable = 1;
  c.foreachPos[static_cast<std::size_t>(c.depth)] = 0;
  bool got = false;
  if (!next_element(c, top(c), c.foreachPos[static_cast<std::size_t>(c.depth)], got)) {
    drop_hidden_collection(c, top(c));
    pop(c, true);
    return false;
  }
  steps::foreach_test(c, got);
  return true;
}

// ---- Switch / Case ----

bool do_switch(Context& c) {
  if (skipping(c)) return steps::open_skipped(c, sk::kSwitch);
  get_token(c);
  if (failed(c)) return false;
  Temp v(c);
  if (!process_sub_expression(c, v.op(), false, false)) return false;
  if (!must_end(c)) return false;
  if (v->flags & vf::kFloat) return fail(c, errs::kSwitchNeedsInteger);
  if (!to_int32(c, v.op())) { c.error = 0; return fail(c, errs::kSwitchNeedsInteger); }
  return steps::open_switch(c, static_cast<std::uint32_t>(v->i));
}

bool do_case(Context& c) {
  if (!steps::top_is(c, sk::kSwitch)) return fail(c, errs::kCaseUnmatched);
  if (!steps::case_reads(c)) return true;
  get_token(c);
  if (failed(c)) return false;
  Temp v(c);
  if (!process_sub_expression(c, v.op(), false, false)) return false;
  if (!must_end(c)) return false;
  if (!to_int32(c, v.op())) { c.error = 0; return fail(c, errs::kSwitchNeedsInteger); }
  steps::case_value(c, static_cast<std::uint32_t>(v->i));
  return true;
}

bool do_break_continue(Context& c, bool isBreak) {
  if (!skipping(c) && !c.breakable) return fail(c, isBreak ? errs::kBreakOutsideStructure : errs::kContinueOutsideStructure);
  steps::break_continue(c, isBreak);
  return true;
}

// ---- GoTo / GoSub / Return ----

bool read_label(Context& c, std::string& label) {
  get_string_token(c);
  if (failed(c)) { c.error = 0; return fail(c, errs::kLabelMissing); }
  if (c.tokKind == tk::kEnd) return fail(c, errs::kIncompleteStatement);
  label = c.token;
  return true;
}

void encode_jump(Context& c, const char* statement, char marker, std::uint32_t target) {
  if (c.lineSubstituted || target > limits::kMaxJumpPosition) return;
  std::string& t = c.scripts[c.curScript]->text;
  std::uint32_t at = buffer_position(c, statement);
  if (at + 5 > t.size()) return;
  ++c.scripts[c.curScript]->textVersion;   // compiled statements of the old text are stale
  t[at] = marker;
  for (int k = 0; k < 4; ++k) t[at + 1 + static_cast<std::uint32_t>(k)] = static_cast<char>(((target >> (18 - 6 * k)) & 0x3F) | 0x40);
}

std::uint32_t decode_jump(const char* text) {
  std::uint32_t target = 0;
  for (int k = 1; k <= 4; ++k) target = (target << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
  return target;
}

bool goto_blocked_by_foreach(const Context& c) {
  for (int d = c.depth; d > 0; --d) {
    std::uint16_t kind = c.stack[static_cast<std::size_t>(d)].kind;
    if (kind == sk::kUdf) break;
    if (kind == sk::kForEach) return true;
  }
  return false;
}

bool do_goto(Context& c, char* statement) {
  if (skipping(c)) return true;
  if (goto_blocked_by_foreach(c)) return fail(c, errs::kGotoInForEach);
  std::string label;
  if (!read_label(c, label)) return false;
  std::uint32_t target = 0;
  if (!find_label(c, label.c_str(), target)) return false;
  encode_jump(c, statement, kGotoMarker, target);
  c.pos = target;
  return true;
}

std::uint16_t gosub_kind(int ifState) {
  return ifState == 0 ? sk::kGosubFalse : ifState == 1 ? sk::kGosubTrue : sk::kGosubNone;
}

// `ifState` is the state before the GoSub statement reset it: the frame keeps
// it for Return to bring back.
bool do_gosub(Context& c, char* statement, int ifState) {
  if (skipping(c)) return true;
  std::string label;
  if (!read_label(c, label)) return false;
  get_token(c);
  if (failed(c)) return false;
  if (!must_end(c)) return false;
  StructEntry* e = steps::open_entry(c, gosub_kind(ifState), skip::kRun);
  if (!e) return false;
  e->jump = c.pos;
  c.breakable = 0;
  std::uint32_t target = 0;
  if (!find_label(c, label.c_str(), target)) {
    std::uint16_t err = c.error;
    std::string text = c.errorText;
    pop(c, true);
    c.error = err;
    c.errorText = text;
    return false;
  }
  encode_jump(c, statement, kGosubMarker, target);
  c.pos = target;
  c.traceEvent = trace::ev::kGosubOrReturn;
  return true;
}

bool do_return(Context& c, Operand& result) {
  get_token(c);
  if (failed(c)) return false;
  Temp value(c);
  const bool hasValue = !at_end(c);
  if (hasValue) {
    if (!process_sub_expression(c, value.op(), false, false)) return false;
    if (!must_end(c)) return false;
  } else {
    make_int(value.op(), 0);
  }
  c.traceEvent = trace::ev::kGosubOrReturn;
  for (int d = c.depth; d > 0; --d) {
    StructEntry& e = c.stack[static_cast<std::size_t>(d)];
    if (e.kind == sk::kGosubFalse || e.kind == sk::kGosubTrue || e.kind == sk::kGosubNone) {
      if (hasValue) return fail(c, errs::kGosubReturnsValue);
      const std::uint16_t kind = e.kind;
      const std::uint32_t jump = e.jump;
      const std::uint32_t script = e.script;
      const std::uint8_t breakable = e.breakable;
      while (c.depth >= d) pop(c, false);
      c.breakable = breakable;
      c.pos = jump;
      c.curScript = script;
      c.ifState = kind == sk::kGosubFalse ? 0 : kind == sk::kGosubTrue ? 1 : -1;
      return true;
    }
    if (e.kind == sk::kUdf || e.kind == sk::kCall) {
      const std::uint8_t breakable = e.breakable;
      while (c.depth > d) pop(c, false);
      top(c).word = 1;   // returned
      c.breakable = breakable;
      release_value(c, c.returnValue);
      value.move_to(c.returnValue);
      c.returned = true;
      (void)result;
      return true;
    }
  }
  // A Return outside any frame ends the script, as reaching its end would.
  return fail(c, 9000);
}

// ---- Commands ----

bool do_execute(Context& c, Operand& result) {
  std::string rest = c.prog;
  std::size_t first = rest.find_first_not_of(" \t");
  if (first == std::string::npos || rest[first] == ';') return true;
  char saved[limits::kLineBuffer];
  std::memcpy(saved, c.line, sizeof saved);
  const bool savedSubst = c.lineSubstituted;
  CachedLine* const savedReplay = c.replay;
  const std::size_t savedCursor = c.replayCursor;
  c.replay = nullptr;
  std::memcpy(c.line, rest.c_str() + first, rest.size() - first + 1);
  c.lineSubstituted = true;   // the text no longer sits at its buffer position
  bool ok = execute_statement(c, result, c.line);
  std::memcpy(c.line, saved, sizeof saved);
  c.lineSubstituted = savedSubst;
  c.replay = savedReplay;
  c.replayCursor = savedCursor;
  if (ok) return true;
  const std::uint16_t err = c.error;
  if (err >= 9000 && err != 9013 && err != 9015 && err != 9016) return false;
  if (c.executeReportMode != 2) {
    int answer = platform::message_box("EXECUTE::" + message_text(err), "ORV",
                                       (c.executeReportMode == 1 ? platform::mb_ok : platform::mb_okcancel) |
                                           platform::mb_icon_exclamation | platform::mb_foreground);
    if (answer == 2) { c.error = 0; c.errorText.clear(); return fail(c, 9013); }
  }
  c.error = 0;
  c.errorText.clear();
  return true;
}

bool do_command(Context& c, Operand& result, int kw, char* statement) {
  if (kw == id::kGoto) { c.ifState = -1; return do_goto(c, statement); }
  if (skipping(c)) { c.traceEvent = trace::ev::kSkipped; skip_statement_tokens(c); return true; }
  switch (kw) {
    case id::kExit: c.ifState = -1; return fail(c, 9000);
    case id::kBeep: platform::system_beep(); return true;
    case id::kExecute: return do_execute(c, result);
    case id::kYield:
      if (pump_window_messages(c, !c.noYield) && !c.noCancel) c.cancelRequested = true;
      return true;
    default: return fail(c, errs::kStructOpNotDefined);
  }
}

bool do_structure(Context& c, Operand& result, int kw, char* statement) {
  const int ifStateBefore = c.ifState;
  if (kw != id::kIf && kw != id::kThen && kw != id::kElse) c.ifState = -1;
  switch (kw) {
    case id::kIf: return do_if(c, result);
    case id::kElse: return do_else(c, result);
    case id::kElseIf: return do_elseif(c);
    case id::kThen: return skipping(c) ? true : fail(c, errs::kNoIfForElse);
    case id::kEnd: case id::kEndIf: case id::kEndWhile: case id::kEndSwitch: case id::kEndSelect:
    case id::kNext: case id::kEndFor:
      return do_end(c, kw);
    case id::kWhile: return do_while(c);
    case id::kFor: return do_for(c);
    case id::kTo: return skipping(c) ? true : to_clause(c, true);
    case id::kForEach: return do_foreach(c);
    case id::kSwitch: case id::kSelect: return do_switch(c);
    case id::kCase: return do_case(c);
    case id::kBreak: return do_break_continue(c, true);
    case id::kContinue: return do_break_continue(c, false);
    case id::kGosub: return do_gosub(c, statement, ifStateBefore);
    case id::kReturn: return skipping(c) ? true : do_return(c, result);
    default: return fail(c, errs::kStructOpNotDefined);
  }
}

bool expression_statement(Context& c, Operand& result) {
  if (skipping(c)) {
    c.traceEvent = trace::ev::kSkipped;
    skip_statement_tokens(c);
    return true;
  }
  c.traceEvent = trace::ev::kValue;
  if (!process_sub_expression(c, result, true, false)) return false;
  if (!at_end(c)) return fail(c, errs::kExtraAfterEnd, message_text(is_keyword(c, id::kLBracket) ? 9518 : errs::kHintExtraAfterEnd));
  return true;
}

}  // namespace

bool find_label(Context& c, const char* label, std::uint32_t& target) {
  const Script& s = *c.scripts[c.curScript];
  const std::string& t = s.text;
  const std::size_t labelLen = std::strlen(label);
  std::size_t p = 0;
  bool inDefinition = false;
  while (p < t.size()) {
    std::size_t end = t.find('\n', p);
    if (end == std::string::npos) end = t.size();
    std::size_t q = p;
    while (q < end && (t[q] == ' ' || t[q] == '\t')) ++q;
    auto startsWith = [&](const char* word) {
      std::size_t n = std::strlen(word);
      if (end - q < n) return false;
      for (std::size_t k = 0; k < n; ++k) {
        char ch = t[q + k];
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != word[k]) return false;
      }
      return true;
    };
    if (inDefinition) {
      if (startsWith("#endfunction") || startsWith("#endsubroutine")) inDefinition = false;
    } else if (startsWith("#definefunction") || startsWith("#definesubroutine")) {
      inDefinition = true;
    } else if (q < end && t[q] == ':') {
      std::size_t n = 0;
      while (q + 1 + n < end && n < static_cast<std::size_t>(limits::kLabelMax)) {
        char ch = t[q + 1 + n];
        if (ch == ' ' || ch == '\t' || ch == ';') break;
        ++n;
      }
      if (n == labelLen) {
        bool same = true;
        for (std::size_t k = 0; k < n && same; ++k) {
          char a = t[q + 1 + k], b = label[k];
          if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
          if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
          same = a == b;
        }
        if (same) {
          target = static_cast<std::uint32_t>(q);
          return true;
        }
      }
    }
    p = end + 1;
  }
  return fail(c, errs::kLabelNotFound);
}

bool execute_statement(Context& c, Operand& result, char* text) {
  if (text[0] == kGotoMarker || text[0] == kGosubMarker) {
    if (skipping(c)) return true;
    const std::uint32_t target = decode_jump(text);
    if (text[0] == kGosubMarker) {
      StructEntry* e = steps::open_entry(c, gosub_kind(c.ifState), skip::kRun);
      if (!e) return false;
      e->jump = c.pos;
      c.breakable = 0;
    } else if (goto_blocked_by_foreach(c)) {
      return fail(c, errs::kGotoInForEach);
    }
    c.ifState = -1;
    c.traceEvent = trace::ev::kGosubOrReturn;
    c.pos = target;
    return true;
  }
  c.prog = text;
  c.tokKind = tk::kEnd;
  c.delim = 0;
  if (text[0] == '*' && !skipping(c)) {
    get_token(c);
    if (failed(c)) return false;
    if (!process_sub_expression(c, result, true, true)) return false;
    return must_end(c);
  }
  get_token(c);
  if (failed(c)) {
    if (skipping(c)) { c.error = 0; c.errorText.clear(); return true; }
    return false;
  }
  if (at_end(c)) return skipping(c) ? true : fail(c, errs::kIncompleteStatement);
  if (c.tokKind != tk::kKeyword) return expression_statement(c, result);
  const std::uint32_t kind = keyword_kind(c, c.delim);
  if (kind == kk::kStructure) return do_structure(c, result, c.delim, text);
  if (kind == kk::kCommand) return do_command(c, result, c.delim, text);
  return expression_statement(c, result);
}

}  // namespace orv
