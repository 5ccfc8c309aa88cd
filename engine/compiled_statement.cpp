#include "engine/compiled_statement.h"

#include <array>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/arrays.h"
#include "engine/error_numbers.h"
#include "engine/maps.h"
#include "engine/assign_ops.h"
#include "engine/compiled.h"
#include "engine/combiners.h"
#include "engine/compiled_statement_parts.h"
#include "engine/convert.h"
#include "engine/no_throw.h"
#include "engine/evaluator.h"
#include "engine/int_steps.h"
#include "engine/keyword_ids.h"
#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/script.h"
#include "engine/statements.h"
#include "engine/structure_steps.h"
#include "engine/switch_table.h"
#include "engine/whole_loops.h"
#include "engine/trace/markers.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {

namespace {

// ---- Learning ----

bool keyword_token(const CachedToken& t) { return t.kind == tk::kKeyword && !t.pointerAmp; }

const CompiledExpr& expr_of(const CompiledStatement& st, std::int32_t index) {
  return st.code.exprs[static_cast<std::size_t>(index)];
}

// A whole statement from token `at` to the end of the line: "name op value",
// or an expression that starts with a function (a call whose value is
// dropped); both may call functions with effects. -1: not compiled.
std::int32_t compile_call_or_assignment(Context& c, const CachedLine& cached, CompiledLine& code, std::size_t at) {
  const auto& t = cached.tokens;
  if (at >= t.size()) return -1;
  const bool assignment = t[at].kind == tk::kVariable;
  if (!assignment && !(keyword_token(t[at]) && keyword_kind(c, static_cast<int>(t[at].delim)) == kk::kFunction))
    return -1;
  const std::int32_t e = compile_expression(c, cached, code, at, assignment, true);
  if (e < 0) return -1;
  const CompiledExpr& x = code.exprs[static_cast<std::size_t>(e)];
  if (x.assignment != assignment || x.endToken != t.size()) return -1;
  return e;
}

CompiledStatement::Kind lone_word_kind(int word) {
  switch (word) {
    case id::kNext: case id::kEndFor: return CompiledStatement::kNext;
    case id::kEndWhile: return CompiledStatement::kEndWhile;
    case id::kEndSwitch: case id::kEndSelect: return CompiledStatement::kEndSwitch;
    case id::kEndIf: return CompiledStatement::kEndIf;
    case id::kElse: return CompiledStatement::kElse;
    case id::kBreak: return CompiledStatement::kBreak;
    case id::kContinue: return CompiledStatement::kContinue;
    default: return CompiledStatement::kNone;
  }
}

// Structure words followed by one expression up to the end of the line.
CompiledStatement::Kind expression_word_kind(int word) {
  switch (word) {
    case id::kTo: return CompiledStatement::kTo;
    case id::kWhile: return CompiledStatement::kWhile;
    case id::kSwitch: case id::kSelect: return CompiledStatement::kSwitch;
    case id::kCase: return CompiledStatement::kCase;
    case id::kIf: return CompiledStatement::kIfBlock;
    case id::kReturn: return CompiledStatement::kReturn;
    default: return CompiledStatement::kNone;
  }
}

// "If condition Then statement": only its condition is compiled; a false
// one skips the statement, a true one leaves the line to the text path.
void classify_if_line(Context& c, const CachedLine& cached, CompiledStatement& st) {
  const auto& t = cached.tokens;
  // A rewritten GoTo or GoSub after Then holds no tokens to skip.
  if (std::strchr(c.line, kGotoMarker) || std::strchr(c.line, kGosubMarker)) return;
  std::size_t then = 1;
  while (then < t.size() && !(keyword_token(t[then]) && t[then].delim == id::kThen)) ++then;
  if (then == t.size()) {
    // "If condition" alone opens a block, as "If condition Then" does.
    st.expr = compile_expression(c, cached, st.code, 1, false, true);
    if (st.expr >= 0 && st.code.exprs[static_cast<std::size_t>(st.expr)].endToken == t.size())
      st.kind = CompiledStatement::kIfBlock;
    return;
  }
  if (then < 2 || then + 1 >= t.size()) return;
  st.expr = compile_expression(c, cached, st.code, 1, false, true);
  if (st.expr < 0 || st.code.exprs[static_cast<std::size_t>(st.expr)].endToken != then) return;
  // A true condition runs a compiled "Return value", assignment or call too.
  const std::size_t rest = then + 1;
  if (rest + 1 < t.size() && keyword_token(t[rest]) && t[rest].delim == id::kReturn) {
    const std::int32_t value = compile_expression(c, cached, st.code, rest + 1, false, true);
    if (value >= 0 && st.code.exprs[static_cast<std::size_t>(value)].endToken == t.size()) st.thenReturn = value;
  } else if (const std::int32_t stmt = compile_call_or_assignment(c, cached, st.code, rest); stmt >= 0) {
    st.thenStatement = stmt;
    if (st.code.exprs[static_cast<std::size_t>(stmt)].assignment) st.thenTarget.name = t[rest].text;
  }
  // A condition with effects runs once: its line must not need the text path after it.
  const bool conditionEffects = st.code.exprs[static_cast<std::size_t>(st.expr)].effects;
  if (conditionEffects && st.thenReturn < 0 && st.thenStatement < 0) return;
  st.kind = CompiledStatement::kIfLine;
}

// "name[s1, s2] op value": the subscripts and the value compiled, none with effects.
void classify_element_assignment(Context& c, const CachedLine& cached, CompiledStatement& st) {
  const auto& t = cached.tokens;
  if (t[0].text.find('.') != std::string::npos) return;
  std::size_t p = 2;
  for (;;) {
    if (st.subscripts.size() == kMaxDimensions) return;
    const std::int32_t sub = compile_expression(c, cached, st.code, p, false);
    if (sub < 0) return;
    st.subscripts.push_back(sub);
    p = expr_of(st, sub).endToken;
    if (p >= t.size() || !keyword_token(t[p])) return;
    if (t[p].delim == id::kRBracket) break;
    if (t[p].delim != id::kComma) return;
    ++p;
  }
  ++p;
  if (p + 1 >= t.size() || !keyword_token(t[p]) || !is_assignment_id(static_cast<int>(t[p].delim))) return;
  st.elementOp = static_cast<int>(t[p].delim);
  st.expr = compile_expression(c, cached, st.code, p + 1, false);
  if (st.expr >= 0 && expr_of(st, st.expr).endToken == t.size()) st.kind = CompiledStatement::kAssignElement;
}

// "For name = start To limit [By step]" with whole expressions that have no
// effects, and a limit and step that do not read the loop's variable (the
// text path reads them after the start is stored).
void classify_for(Context& c, const CachedLine& cached, CompiledStatement& st) {
  const auto& t = cached.tokens;
  if (t.size() < 6 || t[1].kind != tk::kVariable || !keyword_token(t[2]) || t[2].delim != id::kAssign) return;
  st.expr = compile_expression(c, cached, st.code, 3, false);
  if (st.expr < 0) return;
  const std::size_t to = expr_of(st, st.expr).endToken;
  if (to + 1 >= t.size() || !keyword_token(t[to]) || t[to].delim != id::kTo) return;
  for (std::size_t k = to; k < t.size(); ++k)
    if (t[k].kind == tk::kVariable && t[k].text == t[1].text) return;
  st.limitExpr = compile_expression(c, cached, st.code, to + 1, false);
  if (st.limitExpr < 0) return;
  std::size_t after = expr_of(st, st.limitExpr).endToken;
  if (after < t.size()) {
    if (!keyword_token(t[after]) || t[after].delim != id::kBy || after + 1 >= t.size()) return;
    st.stepExpr = compile_expression(c, cached, st.code, after + 1, false);
    if (st.stepExpr < 0 || expr_of(st, st.stepExpr).endToken != t.size()) return;
  }
  for (const CompiledExpr& e : st.code.exprs)
    if (e.effects) return;
  st.toPos = c.stmtPos + t[to].start;
  st.kind = CompiledStatement::kFor;
}

void classify(Context& c, const CachedLine& cached, CompiledStatement& st) {
  const auto& t = cached.tokens;
  if (t.empty()) return;
  if (t[0].kind == tk::kVariable && t.size() > 3 && keyword_token(t[1]) && t[1].delim == id::kLBracket) {
    classify_element_assignment(c, cached, st);
    return;
  }
  if (t[0].kind == tk::kVariable) {
    if (t.size() < 2 || !keyword_token(t[1]) || !is_assignment_id(static_cast<int>(t[1].delim))) return;
    st.expr = compile_expression(c, cached, st.code, 0, true, true);
    if (st.expr >= 0 && st.code.exprs[static_cast<std::size_t>(st.expr)].assignment) st.kind = CompiledStatement::kAssign;
    return;
  }
  if (!keyword_token(t[0])) return;
  const int word = static_cast<int>(t[0].delim);
  if (keyword_kind(c, word) == kk::kFunction) {
    st.expr = compile_call_or_assignment(c, cached, st.code, 0);
    if (st.expr >= 0) st.kind = CompiledStatement::kCall;
    return;
  }
  if (t.size() == 1) {
    st.kind = lone_word_kind(word);
    return;
  }
  if (word == id::kIf && !(keyword_token(t.back()) && t.back().delim == id::kThen)) {
    classify_if_line(c, cached, st);
    return;
  }
  if (word == id::kFor) {
    classify_for(c, cached, st);
    return;
  }
  const CompiledStatement::Kind kind = expression_word_kind(word);
  if (kind == CompiledStatement::kNone) return;
  // A block If ends with Then; the others end with their expression.
  const std::size_t end = kind == CompiledStatement::kIfBlock ? t.size() - 1 : t.size();
  if (kind == CompiledStatement::kIfBlock && !(keyword_token(t[end]) && t[end].delim == id::kThen)) return;
  if (end < 2) return;
  // Calls with effects where the statement runs its expression once, at its start.
  const bool effects = kind == CompiledStatement::kIfBlock || kind == CompiledStatement::kWhile ||
                       kind == CompiledStatement::kReturn;
  st.expr = compile_expression(c, cached, st.code, 1, false, effects);
  if (st.expr < 0) return;
  const std::size_t after = st.code.exprs[static_cast<std::size_t>(st.expr)].endToken;
  if (after == end) {
    st.kind = kind;
  } else if (kind == CompiledStatement::kTo && after + 1 < end && keyword_token(t[after]) && t[after].delim == id::kBy) {
    st.stepExpr = compile_expression(c, cached, st.code, after + 1, false);
    if (st.stepExpr >= 0 && expr_of(st, st.stepExpr).endToken == end) st.kind = CompiledStatement::kToBy;
  }
}

// A comparison of a variable with a literal text (not one of whole
// numbers) is marked for text_condition.
void find_text_condition(CompiledStatement& st, const CompiledExpr& e) {
  auto& nodes = st.code.nodes;
  const CompiledNode& root = nodes[static_cast<std::size_t>(e.root)];
  if (root.kind != CompiledNode::kCompare || root.integral || root.kids.size() != 2) return;
  CompiledNode& left = nodes[static_cast<std::size_t>(root.kids[0])];
  CompiledNode& right = nodes[static_cast<std::size_t>(root.kids[1])];
  const bool varLeft = left.kind == CompiledNode::kVar && right.kind == CompiledNode::kString;
  if (!varLeft && !(left.kind == CompiledNode::kString && right.kind == CompiledNode::kVar)) return;
  st.textVar = varLeft ? &left : &right;
  st.textLiteral = varLeft ? &right : &left;
  st.textOp = root.op;
  st.textVarLeft = varLeft;
  const std::string& literal = st.textLiteral->text;
  st.literalMayBeNumber = may_start_number(literal.data(), literal.data() + literal.size());
  st.loneNesting = e.nesting;
}

// ---- Running ----

// The compiled statement the run loop would read at c.pos, when it is current.
inline CompiledStatement* statement_at(Context& c, const Script& s) {
  if (!s.statements) return nullptr;
  CompiledStatement* st = s.statements->find(c.pos);
  return st && st->kind != CompiledStatement::kNone && current(c, s, *st) ? st : nullptr;
}

// The same, coming from `from` (in the same script), through the statements
// it led to before. A statement links only to current ones, and learning
// anew replaces a statement with its links, so while the script's text and
// names stay as they were when `from` was found current (`sameVersion`),
// its links are current too.
inline CompiledStatement* statement_after(Context& c, const Script& s, CompiledStatement& from, bool sameVersion) {
  if (c.pos == from.nextPos) {
    if (from.follow && (sameVersion || current(c, s, *from.follow))) return from.follow;
    return from.follow = statement_at(c, s);
  }
  if (from.jumped && c.pos == from.jumpedPos && (sameVersion || current(c, s, *from.jumped))) return from.jumped;
  from.jumpedPos = c.pos;
  return from.jumped = statement_at(c, s);
}

// The slot of a name in the current frame, or kNotFound (then the text path,
// which declares it, must run the line).
std::uint16_t slot_of(Context& c, NameRef& n) { return hinted_slot(c, n.hint, n.name); }

using steps::pop;
using steps::top;
using steps::top_is;

// The value of an expression of several steps (or a lone variable whose slot
// moved) when it is a plain integer; apart, so that the callers' common case
// of a lone number or variable stays small.
[[gnu::noinline]] bool int_value_steps(Context& c, CompiledStatement& st, const CompiledExpr& e, std::int32_t& out) {
  if (e.intCount != 0 && c.exprDepth + e.nesting <= limits::kExpressionDepth && run_int_form(c, st.code, e, out))
    return true;
  return eval_compiled_int(c, st.code, e, out);
}

// A lone number or variable holding a whole number (a loop's limit, a Case)
// is read at once.
[[gnu::always_inline]] inline bool lone_int_value(Context& c, CompiledStatement& st, std::int32_t& out) {
  const IntStep* step = st.lone;
  if (step && c.exprDepth + st.loneNesting <= limits::kExpressionDepth) {
    if (step->code == IntStep::kLoad) {
      out = step->value;
      return true;
    }
    if (step->code == IntStep::kVar && step->hint.stamp == c.slotStamp && c.slots[step->hint.slot].v.flags == vf::kInt) {
      out = c.slots[step->hint.slot].v.i;
      return true;
    }
  }
  return false;
}

// "name op literal text" (either way round) where the variable holds an
// 8-bit text and one side cannot read as a number: compared by the text
// rule where the text lies, without the evaluation's layers.
bool text_condition(Context& c, CompiledStatement& st, std::int32_t& out) {
  if (c.exprDepth + st.loneNesting > limits::kExpressionDepth) return false;
  const std::uint16_t slot = hinted_slot(c, st.textVar->hint, st.textVar->text);
  if (slot == kNotFound) return false;
  const Value& v = c.slots[slot].v;
  if (v.flags != vf::kStr || v.str == 0) return false;
  const std::string_view text = str_view(c, v);
  if (st.literalMayBeNumber && may_start_number(text.data(), text.data() + text.size())) return false;
  const std::string_view literal = st.textLiteral->text;
  Operand result;
  clear_operand(result);
  if (!compare_ansi_texts(c, st.textOp, st.textVarLeft ? text : literal, st.textVarLeft ? literal : text, false,
                          result)) {
    c.error = 0;
    c.errorText.clear();
    return false;
  }
  out = result.i;
  return true;
}

// The value of the statement's expression when it is a plain integer.
[[gnu::always_inline]] inline bool int_value(Context& c, CompiledStatement& st, std::int32_t& out) {
  return lone_int_value(c, st, out) || (st.textVar && text_condition(c, st, out)) ||
         int_value_steps(c, st, st.code.exprs[static_cast<std::size_t>(st.expr)], out);
}

// A skipped line declares the names it contains; when they all exist there
// is nothing to do.
// Every change to which names a table holds takes a new slot stamp, so
// names found under a stamp stay found while it is current (a function's
// next call binds its parameters to the same stamp).
bool names_exist(Context& c, CompiledStatement& st) {
  if (st.namesFoundAt == c.slotStamp) return true;
  for (NameRef& n : st.names)
    if (slot_of(c, n) == kNotFound) return false;
  st.namesFoundAt = c.slotStamp;
  return true;
}

// A statement whose condition has run finds the structure stack full.
// (steps::open_entry has set 3353.)
StatementRun full_stack(Context&) { return StatementRun::failed; }

StatementRun statement_run(CompiledRun run) {
  switch (run) {
    case CompiledRun::ok: return StatementRun::ok;
    case CompiledRun::failed: return StatementRun::failed;
    default: return StatementRun::not_run;
  }
}


// A statement's own expression (an assignment, or a call whose value is
// dropped), strictly: it runs once whatever happens.
[[gnu::noinline]] StatementRun run_strict_statement(Context& c, CompiledStatement& st, std::int32_t index, NameRef& target) {
  const CompiledExpr& e = expr_of(st, index);
  c.traceEvent = trace::ev::kValue;
  const RunningStatement running(st);
  if (e.assignment) return statement_run(assign_compiled_strict(c, st.code, e, target.name, target.hint));
  Operand value;
  clear_operand(value);
  const CompiledRun run = eval_compiled_strict(c, st.code, e, value);
  release_value(c, value);
  return statement_run(run);
}

// A whole number into a variable (at `target`) without a payload, the
// common case of a loop body: false (nothing changed) for anything else,
// which takes the general store.
[[gnu::always_inline]] inline bool store_whole(Context& c, CompiledStatement& st, std::uint16_t target) {
  const CompiledExpr& e = expr_of(st, st.expr);
  std::int32_t value = 0;
  if (e.intCount != 0 && c.exprDepth + e.nesting <= limits::kExpressionDepth && run_int_form(c, st.code, e, value) &&
      store_int(c.slots[target].v, e.assignOp, value)) {
    c.assignFrame = c.level;
    c.assignSlot = target;
    return true;
  }
  return false;
}

// The slot of a statement's name, declared as the text path declares it on
// reading it when no slot holds it; kNotFound when the table is full. A
// function's local is new on every call: made again as the line last made it.
[[gnu::noinline]] std::uint16_t find_or_declare(Context& c, NameRef& name) {
  std::uint16_t slot = remake_slot(c, name.name, name.made);
  if (slot == kNotFound) {
    slot = slot_of(c, name);
    if (slot != kNotFound) return slot;
    slot = create_new_slot(c, name.name, name.made);
    if (slot == kNotFound) return kNotFound;
  }
  name.hint = SlotHint{slot, c.slotStamp};
  return slot;
}

// The slot of a statement's target (an assignment's, a For loop's
// variable). A new one is made here, as the text path makes it on reading
// it, before the rest of the statement runs (a line that then reads it
// unassigned leaves that to the text path). kNotFound: the table is full
// (the text path reports it).
[[gnu::always_inline]] inline std::uint16_t target_slot(Context& c, NameRef& target) {
  return hint_holds(c, target.hint) ? target.hint.slot : find_or_declare(c, target);
}

// What the text path does with the names of a line it passes over, or of
// the rest of one whose first part ran: declares each, in order. False: the
// table is full (the text path reports it).
[[gnu::noinline]] bool declare_missing_names(Context& c, CompiledStatement& st) {
  for (NameRef& n : st.names) {
    if (target_slot(c, n) == kNotFound) return false;
  }
  st.namesFoundAt = c.slotStamp;
  return true;
}

[[gnu::always_inline]] inline bool declare_names(Context& c, CompiledStatement& st) {
  return st.namesFoundAt == c.slotStamp || declare_missing_names(c, st);
}

StatementRun run_assign(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  // The text path has declared every name of the line before anything of it
  // runs. (An assignment's one expression is what may call out.)
  if (st.callsOut) {
    if (st.namesFoundAt != c.slotStamp && target_slot(c, st.names[0]) == kNotFound)
      return StatementRun::not_run;
    return names_exist(c, st) ? run_strict_statement(c, st, st.expr, st.names[0]) : StatementRun::not_run;
  }
  const std::uint16_t target = target_slot(c, st.names[0]);
  if (target == kNotFound) return StatementRun::not_run;
  c.traceEvent = trace::ev::kValue;
  if (store_whole(c, st, target)) {
    next = st.follow;   // (it does not call out: its link is current)
    return StatementRun::ok;
  }
  // The run loop drops a statement's value: none is made.
  switch (assign_compiled(c, st.code, expr_of(st, st.expr), target, nullptr)) {
    case CompiledRun::ok: return StatementRun::ok;
    case CompiledRun::failed: return StatementRun::failed;
    default: return StatementRun::not_run;
  }
}

// The truth of a condition with effects, strictly. An error is the
// statement's; not_run only when nothing ran.
[[gnu::noinline]] StatementRun strict_truth(Context& c, CompiledStatement& st, std::int32_t& v) {
  if (!names_exist(c, st)) return StatementRun::not_run;
  bool truth = false;
  const RunningStatement running(st);
  const CompiledRun run = condition_compiled_strict(c, st.code, expr_of(st, st.expr), truth);
  v = truth ? 1 : 0;
  return statement_run(run);
}

// The slot of an expression that is a lone variable, kNotFound for anything
// else (or when it would nest too deep).
std::uint16_t lone_variable_slot(Context& c, CompiledStatement& st, const CompiledExpr& e) {
  if (e.intCount != 1 || c.exprDepth + e.nesting > limits::kExpressionDepth) return kNotFound;
  const IntStep& step = st.code.intCode[e.intStart];
  if (step.code != IntStep::kVar) return kNotFound;
  CompiledNode& n = st.code.nodes[static_cast<std::size_t>(step.node)];
  return hinted_slot(c, n.hint, n.text);
}

// "name[key] op value" on a map: one key, a value that is no array or map
// (and for a compound operator, a key that holds a value). The variable's map
// becomes its own before it changes, as on the text path.
[[gnu::noinline]] StatementRun run_assign_map_element(Context& c, CompiledStatement& st, std::uint16_t slot) {
  if (st.subscripts.size() != 1) return StatementRun::not_run;
  MapKey key;
  if (!map_key_compiled(c, st.code, expr_of(st, st.subscripts[0]), key)) return StatementRun::not_run;
  Operand value;
  clear_operand(value);
  if (!eval_compiled(c, st.code, expr_of(st, st.expr), value)) return StatementRun::not_run;
  auto give_up = [&] {
    release_value(c, value);
    c.error = 0;
    c.errorText.clear();
    return StatementRun::not_run;
  };
  if (value.flags & vf::kArray) return give_up();
  MapStore* map = map_of(c, c.slots[slot].v);
  if (st.elementOp != id::kAssign) {
    const Value* current = map->find(key);
    if (!current || !is_assigned(*current) || (current->flags & vf::kCom) ||
        !compound_value(c, st.elementOp, *current, value))
      return give_up();
  }
  if (!own_array(c, c.slots[slot].v)) return give_up();
  Value stored = value;
  clear_operand(value);
  if (!map_store(c, *map_of(c, c.slots[slot].v), key, stored)) return StatementRun::failed;
  c.traceEvent = trace::ev::kValue;
  return StatementRun::ok;
}

// "name[subscripts] op value" where everything is as the quick paths read
// it: an array variable, whole-number subscripts in range, a value that is
// no array (and for a compound operator, an element that holds a value).
// Anything else changes nothing and the text path reports it.
[[gnu::noinline]] StatementRun run_assign_element(Context& c, CompiledStatement& st) {
  const std::uint16_t slot = slot_of(c, st.names[0]);
  if (slot == kNotFound || !(c.slots[slot].v.flags & vf::kArray)) return StatementRun::not_run;
  if (map_of(c, c.slots[slot].v)) return run_assign_map_element(c, st, slot);
  const std::uint32_t array = c.slots[slot].v.str;
  std::int32_t subs[kMaxDimensions];
  const int count = static_cast<int>(st.subscripts.size());
  for (int k = 0; k < count; ++k)
    if (!eval_compiled_int(c, st.code, expr_of(st, st.subscripts[static_cast<std::size_t>(k)]), subs[k]))
      return StatementRun::not_run;
  const ArrayHeader* header = c.arrays.header(array);
  std::uint32_t index = 0;
  std::uint16_t err = 0;
  if (!header || !array_index(*header, subs, count, index, err)) return StatementRun::not_run;
  Operand value;
  clear_operand(value);
  // An element keeps no variable of origin: a lone variable holding a whole
  // number (the common fill of an array) is read where it lies.
  const CompiledExpr& e = expr_of(st, st.expr);
  const std::uint16_t lone = lone_variable_slot(c, st, e);
  if (lone != kNotFound && c.slots[lone].v.flags == vf::kInt) make_int(value, c.slots[lone].v.i);
  else if (!eval_compiled(c, st.code, e, value)) return StatementRun::not_run;
  // (Nothing that runs without effects can reassign the variable or resize its array.)
  Value* element = &c.arrays.elements(array)[index];
  if (value.flags & vf::kArray) {
    release_value(c, value);
    return StatementRun::not_run;
  }
  if (st.elementOp != id::kAssign) {
    if (!is_assigned(*element) || (element->flags & vf::kCom) || !compound_value(c, st.elementOp, *element, value)) {
      release_value(c, value);
      c.error = 0;
      c.errorText.clear();
      return StatementRun::not_run;
    }
    element = &c.arrays.elements(array)[index];
  }
  const Value old = *element;
  *element = static_cast<const Value&>(value);
  Value released = old;
  release_value(c, released);
  c.traceEvent = trace::ev::kValue;
  return StatementRun::ok;
}

StatementRun run_if(Context& c, CompiledStatement& st) {
  std::int32_t v = 0;
  if (expr_of(st, st.expr).effects) {
    if (const StatementRun run = strict_truth(c, st, v); run != StatementRun::ok) return run;
  } else if (!int_value(c, st, v) || !steps::has_room(c)) {   // the text path reports a full stack
    return StatementRun::not_run;
  }
  return steps::open_if(c, v != 0) ? StatementRun::ok : full_stack(c);
}

// "Return value" where the text path would end a function or a called
// script: only plain structures above its frame (a GoSub frame, or anything
// with more to let go, is left to the text path).
// The structure entry of the frame a Return ends, when only plain
// structures lie above it; 0 when the text path must return.
int return_frame(const Context& c) {
  for (int d = c.depth; d > 0; --d) {
    const std::uint16_t kind = c.stack[static_cast<std::size_t>(d)].kind;
    if (kind == sk::kUdf || kind == sk::kCall) return d;
    if (kind != sk::kIfThen && kind != sk::kIfElse && kind != sk::kWhile && kind != sk::kFor && kind != sk::kSwitch)
      return 0;
  }
  return 0;   // 9000 comes from the text path
}


// "Return name" of a variable that holds a whole number (a function's
// common last case), read in place. As the general evaluation gives a lone
// variable, the value keeps its slot.
bool lone_variable_value(Context& c, CompiledStatement& st, const CompiledExpr& e, Operand& out) {
  const std::uint16_t slot = lone_variable_slot(c, st, e);
  if (slot == kNotFound || c.slots[slot].v.flags != vf::kInt) return false;
  static_cast<Value&>(out) = c.slots[slot].v;
  out.slot = slot;
  out.frame = c.level;
  return true;
}

// `committed`: the line has run something with effects already (a one-line
// If's condition), so the value runs strictly too.
StatementRun run_return(Context& c, CompiledStatement& st, std::int32_t expr, bool committed = false) {
  const int d = return_frame(c);
  if (d == 0) return StatementRun::not_run;   // (a committed line made sure of it before)
  Operand value;
  clear_operand(value);
  const CompiledExpr& e = expr_of(st, expr);
  if (e.effects || committed) {
    if (!committed && !names_exist(c, st)) return StatementRun::not_run;
    // The structures above the frame are the same once the calls returned.
    const RunningStatement running(st);
    if (const CompiledRun run = eval_compiled_strict(c, st.code, e, value); run != CompiledRun::ok) {
      c.ifState = -1;   // the text path forgets the If before it reads the value
      return statement_run(run);
    }
  } else if (!lone_variable_value(c, st, e, value) && !eval_compiled(c, st.code, e, value)) {
    return StatementRun::not_run;
  }
  c.ifState = -1;
  c.traceEvent = trace::ev::kGosubOrReturn;
  const std::uint8_t breakable = c.stack[static_cast<std::size_t>(d)].breakable;
  while (c.depth > d) pop(c, false);
  top(c).word = 1;   // returned
  c.breakable = breakable;
  if (c.returnValue.flags) release_value(c, c.returnValue);
  static_cast<Value&>(c.returnValue) = value;
  c.returned = true;
  return StatementRun::ok;
}

// A false condition: the statement after Then declares its names and no
// more. A true one runs it only when it is a compiled Return.
// Whether the statement after Then would run compiled now: a condition with
// effects runs only when it is sure to (it cannot be run again as text).
bool then_part_runs(const Context& c, const CompiledStatement& st) {
  const std::int32_t then = st.thenStatement >= 0 ? st.thenStatement : st.thenReturn;
  if (then < 0 || c.exprDepth + expr_of(st, then).nesting > limits::kExpressionDepth) return false;
  return st.thenStatement >= 0 || return_frame(c) != 0;
}

// A statement after Then without effects, when the condition had none
// either: nothing has run that the text path cannot run again, so what this
// path leaves (an element or a key it does not read) goes to the text path,
// which runs the whole line, as for a statement of its own.
// (`target`: the assignment's slot.)
StatementRun run_pure_then(Context& c, CompiledStatement& st, std::uint16_t target) {
  const CompiledExpr& e = expr_of(st, st.thenStatement);
  c.traceEvent = trace::ev::kValue;
  if (e.assignment) return statement_run(assign_compiled(c, st.code, e, target, nullptr));
  Operand value;
  clear_operand(value);
  if (!eval_compiled(c, st.code, e, value)) return StatementRun::not_run;
  release_value(c, value);
  return StatementRun::ok;
}

StatementRun run_if_line(Context& c, CompiledStatement& st) {
  std::int32_t v = 0;
  const bool committed = expr_of(st, st.expr).effects;
  if (committed) {
    if (!then_part_runs(c, st)) return StatementRun::not_run;
    if (const StatementRun run = strict_truth(c, st, v); run != StatementRun::ok) return run;
  } else if (!int_value(c, st, v)) {
    return StatementRun::not_run;
  }
  if (v != 0) {
    if (st.thenStatement >= 0) {
      // As the text path leaves it: the If's own event and state, whatever the statement was.
      std::uint16_t target = kNotFound;   // the assignment's (a call after Then has none)
      if (!committed && !st.thenTarget.name.empty()) {
        target = target_slot(c, st.thenTarget);
        if (target == kNotFound) return StatementRun::not_run;
      }
      if (!committed && !names_exist(c, st)) return StatementRun::not_run;
      c.ifState = 1;
      c.conditionResult = 1;
      const StatementRun run = committed || expr_of(st, st.thenStatement).effects
                                   ? run_strict_statement(c, st, st.thenStatement, st.thenTarget)
                                   : run_pure_then(c, st, target);
      if (run == StatementRun::ok) {
        c.traceEvent = trace::ev::kSingleIf;
        c.ifState = 1;
      }
      return run;
    }
    if (st.thenReturn < 0) return StatementRun::not_run;
    const StatementRun run = run_return(c, st, st.thenReturn, committed);
    if (run != StatementRun::not_run) c.conditionResult = 1;
    if (run == StatementRun::failed) c.traceEvent = trace::ev::kSingleIf;   // the If's own event, as its value failed
    return run;
  }
  // (The condition's names exist: what is left to declare is after Then.)
  if (!declare_names(c, st)) return StatementRun::not_run;
  c.ifState = 0;
  c.conditionResult = 0;
  c.traceEvent = trace::ev::kSingleIf;
  return StatementRun::ok;
}

StatementRun run_else(Context& c) {
  if (!top_is(c, sk::kIfThen)) return StatementRun::not_run;
  steps::else_block(c);
  return StatementRun::ok;
}

StatementRun run_endif(Context& c) {
  if (!top_is(c, sk::kIfThen) && !top_is(c, sk::kIfElse)) return StatementRun::not_run;
  if (steps::end_if_strands(c)) return StatementRun::not_run;   // 3359 comes from the text path
  steps::end_if(c);
  return StatementRun::ok;
}

StatementRun run_while(Context& c, CompiledStatement& st) {
  std::int32_t v = 0;
  if (expr_of(st, st.expr).effects) {
    if (const StatementRun run = strict_truth(c, st, v); run != StatementRun::ok) return run;
  } else if (!int_value(c, st, v) || !steps::has_room(c)) {
    return StatementRun::not_run;
  }
  return steps::open_while(c, v != 0) ? StatementRun::ok : full_stack(c);
}

// An EndWhile that goes back to its While in the same script names it
// through its jump link (it does not call out: the link is current).
StatementRun run_endwhile(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  if (!top_is(c, sk::kWhile)) return StatementRun::not_run;
  const std::uint32_t script = c.curScript;
  steps::end_while(c);
  if (c.curScript == script && c.pos != st.nextPos) {
    if (!st.jumped || st.jumpedPos != c.pos) {
      st.jumpedPos = c.pos;
      st.jumped = statement_at(c, c.script());
    }
    next = st.jumped;
    if (next && next->kind == CompiledStatement::kWhile) run_whole_while(c, st, *next);
  }
  return StatementRun::ok;
}

// A loop limit given as text (a script parameter, a line read from a file)
// read as the text path reads it: as a number, which must be a whole one here.
[[gnu::noinline]] bool text_limit(Context& c, CompiledStatement& st, std::int32_t& out) {
  Operand v;
  clear_operand(v);
  if (!eval_compiled(c, st.code, expr_of(st, st.expr), v)) return false;
  // (The number joins the text: a text that reads as a whole number has both.)
  const bool whole = (v.flags & vf::kStr) && to_numeric(c, v, true) &&
                     (v.flags & (vf::kInt | vf::kInt64 | vf::kFloat)) == vf::kInt;
  if (whole) out = v.i;
  c.error = 0;
  c.errorText.clear();
  release_value(c, v);
  return whole;
}

// A lone variable holding only text that reads as a whole number (a script
// parameter as a loop limit) is read where it lies, without a copy.
bool lone_text_limit(Context& c, CompiledStatement& st, std::int32_t& out) {
  const std::uint16_t slot = lone_variable_slot(c, st, expr_of(st, st.expr));
  if (slot == kNotFound || c.slots[slot].v.flags != vf::kStr) return false;
  const std::string_view text = str_view(c, c.slots[slot].v);
  if (st.limitSize != 0 && text.size() == st.limitSize &&
      std::memcmp(text.data(), st.limitText.data(), text.size()) == 0) {
    out = st.limitValue;
    return true;
  }
  const IntText it = parse_integer_text(text, true);
  if (!it.ok || it.is64) return false;
  out = static_cast<std::int32_t>(it.value);
  if (text.size() <= st.limitText.size()) {
    std::memcpy(st.limitText.data(), text.data(), text.size());
    st.limitSize = static_cast<std::uint8_t>(text.size());
    st.limitValue = out;
  }
  return true;
}

// A loop limit that is no lone whole number (kept out of line: the loop's
// own step stays small).
[[gnu::noinline]] bool limit_value(Context& c, CompiledStatement& st, std::int32_t& out) {
  return lone_text_limit(c, st, out) || int_value_steps(c, st, expr_of(st, st.expr), out) || text_limit(c, st, out);
}

// A "To" clause's step: 1, or its "By" value when that is a whole number.
[[gnu::always_inline]] inline bool step_value(Context& c, CompiledStatement& st, std::int32_t& out) {
  out = 1;
  return st.stepExpr < 0 || eval_compiled_int(c, st.code, expr_of(st, st.stepExpr), out);
}

// The "To" clause a Next jumps back to: a whole-number loop with a
// whole-number step. The innermost structure is its For.
[[gnu::always_inline]] inline StatementRun step_to(Context& c, CompiledStatement& st) {
  Value& var = c.slots[top(c).word].v;
  std::int32_t limit = 0, step = 1;
  if (var.flags != vf::kInt || !(lone_int_value(c, st, limit) || limit_value(c, st, limit)) ||
      !step_value(c, st, step))
    return StatementRun::not_run;
  steps::for_step_whole(c, step, limit);
  return StatementRun::ok;
}

// A For line: the variable takes its start, the loop's entry is opened, and
// the first test is made, as the text path makes them; anything that is no
// whole number leaves the line to it (before anything changed).
StatementRun run_for(Context& c, CompiledStatement& st) {
  if (!steps::has_room(c)) return StatementRun::not_run;
  const std::uint16_t slot = target_slot(c, st.names[0]);
  if (slot == kNotFound || !names_exist(c, st)) return StatementRun::not_run;
  std::int32_t start = 0, limit = 0, step = 1;
  if (!int_value_steps(c, st, expr_of(st, st.expr), start) ||
      !int_value_steps(c, st, expr_of(st, st.limitExpr), limit) ||
      (st.stepExpr >= 0 && !int_value_steps(c, st, expr_of(st, st.stepExpr), step)) ||
      !store_int(c.slots[slot].v, id::kAssign, start))
    return StatementRun::not_run;
  StructEntry* e = steps::open_entry(c, sk::kFor, skip::kRun);   // (room checked above)
  e->jump = st.toPos;
  e->word = slot;
  c.breakable = 1;
  steps::for_test(c, step < 0 ? start >= limit : start <= limit);
  return StatementRun::ok;
}

StatementRun run_to(Context& c, CompiledStatement& st) {
  return top_is(c, sk::kFor) ? step_to(c, st) : StatementRun::not_run;
}

// The statement read at c.pos after a jump, kept in `link` once found. A
// Next, Switch or Break never calls out, so the links it keeps (in a
// Switch's table too, made for the same text and names) stay current while
// it is.
[[gnu::noinline]] CompiledStatement* find_jump_target(Context& c, CompiledStatement*& link) {
  return link = statement_at(c, c.script());
}

[[gnu::always_inline]] inline CompiledStatement* jump_target(Context& c, CompiledStatement*& link) {
  return link ? link : find_jump_target(c, link);
}

// The "To" clause a Next goes back to, found once (a Next that runs is
// current, and so is its link: see statement_after).
CompiledStatement* loop_test(Context& c, CompiledStatement& st, const StructEntry& e) {
  CompiledStatement* to = st.loopTest;
  if (to && to->stmtPos == e.jump) return to;   // read from "To" itself: no blanks before it
  const std::uint32_t pos = c.pos;
  c.pos = e.jump;
  to = st.loopTest = statement_at(c, c.script());
  st.loopBody = nullptr;   // the line after another "To"
  c.pos = pos;
  return to;
}

// A Next whose loop goes round, in full: its "To" clause runs at once when
// it can, and counts as a statement of its own against a statement budget.
[[gnu::noinline]] StatementRun next_round(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  const StructEntry& e = top(c);
  CompiledStatement* to = loop_test(c, st, e);
  // In one step as run_next takes it, for a limit that needs more than a look.
  std::int32_t limit = 0, step = 1;
  const bool clause = to && (to->kind == CompiledStatement::kTo || to->kind == CompiledStatement::kToBy);
  if (clause && c.statementBudget == 0 && c.slots[e.word].v.flags == vf::kInt &&
      limit_value(c, *to, limit) && step_value(c, *to, step)) {
    steps::next_step_whole(c, step, limit);
    c.stmtPos = to->stmtPos;
    c.pos = to->nextPos;
    next = jump_target(c, st.loopBody);
    run_whole_loop(c, st, *to);
    return StatementRun::ok;
  }
  steps::next_goes_round(c);
  if (!clause || !take_budget(c, 1)) return StatementRun::ok;
  const std::uint32_t nextStmt = c.stmtPos;
  c.stmtPos = to->stmtPos;
  c.pos = to->nextPos;
  if (step_to(c, *to) == StatementRun::not_run) {   // the text path runs the clause
    c.stmtPos = nextStmt;
    c.pos = e.jump;
    if (c.statementBudget != 0) ++c.statementBudget;
  }
  return StatementRun::ok;
}

[[gnu::always_inline]] inline StatementRun run_next(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  if (!top_is(c, sk::kFor)) return StatementRun::not_run;   // ForEach has collections to let go
  const StructEntry& e = top(c);
  if (e.skip != skip::kRun && e.skip != skip::kContinue) {
    steps::next_goes_round(c);   // (the loop is over: it only leaves its event)
    steps::end_loop(c);
    return StatementRun::ok;
  }
  // The common pass: a loop costs one trip through the run loop, not two.
  // Without a budget, a plain whole-number variable and a limit at hand,
  // the Next and its "To" clause are one step; anything else in full.
  CompiledStatement* to = st.loopTest;
  std::int32_t limit = 0;
  // (A clause with a "By" step is another kind: it takes the full round.)
  if (to && to->stmtPos == e.jump && to->kind == CompiledStatement::kTo && c.statementBudget == 0 &&
      c.slots[e.word].v.flags == vf::kInt && lone_int_value(c, *to, limit)) {
    steps::next_step_whole(c, 1, limit);
    c.stmtPos = to->stmtPos;
    c.pos = to->nextPos;
    next = jump_target(c, st.loopBody);
    run_whole_loop(c, st, *to);   // the rounds after this one, when it can
    return StatementRun::ok;
  }
  return next_round(c, st, next);
}

// A Case body of one whole-number store and a Break, the common shape of a
// Switch in a loop, runs with the Switch when nothing counts statements
// (`next` is the body's first statement; after it, the line after the
// EndSwitch). The Switch's entry would be opened and let go again with
// nothing reading it, so it is never opened. False: anything else, left to
// the run loop, as is a store that misses (then nothing has changed).
[[gnu::always_inline]] inline bool store_and_break(Context& c, SwitchTable& t, CompiledStatement*& next) {
  CompiledStatement* body = next;
  if (!body || body->kind != CompiledStatement::kAssign || body->callsOut) return false;
  // (The body does not call out: its link is current, see statement_after.)
  CompiledStatement* brk = body->follow;
  if (!brk || brk->kind != CompiledStatement::kBreak || brk->table.get() != &t) return false;
  const std::uint16_t target = slot_of(c, body->names[0]);
  if (target == kNotFound) return false;
  // (A lone number, as in "a += 1", is stored without the step loop; the
  // Break below sets where the last store went.)
  const IntStep* number = body->lone && body->lone->code == IntStep::kLoad ? body->lone : nullptr;
  if (number ? !(c.exprDepth + body->loneNesting <= limits::kExpressionDepth &&
                 store_int(c.slots[target].v, expr_of(*body, body->expr).assignOp, number->value))
             : !store_whole(c, *body, target))
    return false;
  // What the Break leaves, as run_break takes it: the block's names exist
  // still (the store made or dropped none).
  steps::switch_broken_at_once(c, t.else_after(*brk));
  c.assignFrame = limits::kNoFrame;
  c.assignSlot = limits::kNoSlot;
  c.stmtPos = brk->stmtPos;
  c.pos = t.endNext;
  c.pumpThrottle.add_cheap_statements(body->pumpWeight + brk->pumpWeight);
  next = jump_target(c, t.after);
  return true;
}

StatementRun run_switch(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  std::int32_t v = 0;
  // A Switch's value is mostly a variable or an operator on one ("i mod 5"):
  // its steps run here.
  const CompiledExpr& e = expr_of(st, st.expr);
  const bool quick = e.intCount != 0 && c.exprDepth + e.nesting <= limits::kExpressionDepth && run_int_form(c, st.code, e, v);
  if (!quick && !int_value(c, st, v)) return StatementRun::not_run;
  if (!steps::has_room(c)) return StatementRun::not_run;
  // Straight to the body of the first Case that matches, as if each Case
  // before it had been read and found different; none: to the EndSwitch.
  // (Without a table, or when the lines must be read, the Cases are read
  // one by one.)
  SwitchTable* table = st.table ? st.table.get() : nullptr;
  if (table && can_jump(c, *table, 1)) {
    if (SwitchTable::Arm* arm = table->arm_for(v); arm && take_budget(c, arm->index + 1)) {
      const std::uint32_t switchPos = c.stmtPos;
      c.stmtPos = arm->stmtPos;
      c.pos = arm->nextPos;
      next = jump_target(c, arm->body);
      if (c.statementBudget == 0 && !c.statementDone && store_and_break(c, *table, next)) return StatementRun::ok;
      steps::open_switch_at_case(c, static_cast<std::uint32_t>(v), switchPos);
      return StatementRun::ok;
    }
  }
  steps::open_switch(c, static_cast<std::uint32_t>(v));
  table = switch_table(c, st);
  if (!table || !can_jump(c, *table)) return StatementRun::ok;
  if (SwitchTable::Arm* arm = table->arm_for(v)) {
    if (!take_budget(c, arm->index + 1)) return StatementRun::ok;
    steps::case_reads(c);
    steps::case_value(c, static_cast<std::uint32_t>(v));
    c.stmtPos = arm->stmtPos;
    c.pos = arm->nextPos;
    next = jump_target(c, arm->body);
    return StatementRun::ok;
  }
  if (!take_budget(c, table->endIndex)) return StatementRun::ok;
  if (!table->arms.empty()) {
    c.conditionResult = 0;
    c.traceEvent = trace::ev::kCase;
  }
  c.pos = table->endPos;
  return StatementRun::ok;
}

StatementRun run_case(Context& c, CompiledStatement& st) {
  if (!top_is(c, sk::kSwitch)) return StatementRun::not_run;
  if (steps::case_reads(c)) {
    std::int32_t v = 0;
    if (!int_value(c, st, v)) return StatementRun::not_run;
    steps::case_value(c, static_cast<std::uint32_t>(v));
  }
  return StatementRun::ok;
}

StatementRun run_endswitch(Context& c) {
  if (!top_is(c, sk::kSwitch)) return StatementRun::not_run;
  steps::end_switch(c);
  return StatementRun::ok;
}

// A Break or Continue read line by line (or one whose Switch must be read so).
[[gnu::noinline]] StatementRun break_in_full(Context& c, bool isBreak) {
  if (!skipping(c) && !c.breakable) return StatementRun::not_run;
  steps::break_continue(c, isBreak);
  return StatementRun::ok;
}

// A Break right in a mapped Switch block that runs: the lines up to its
// EndSwitch would all be skipped, and the EndSwitch closes the block, so the
// run goes on after it, with the Switch's entry let go in one step.
[[gnu::always_inline]] inline StatementRun run_break(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  SwitchTable* t = st.table.get();
  // (A Break that runs is current, and its table was made for the same
  // text and names: learning it anew would have dropped the table.)
  if (t && c.depth > 0) {
    const StructEntry& e = top(c);
    if (e.kind == sk::kSwitch && e.skip == skip::kRun && e.stmtPos == t->switchPos && e.script == c.curScript &&
        can_jump(c, *t) && take_budget(c, t->endIndex - st.blockIndex)) {
      steps::break_switch(c, t->else_after(st));
      c.pos = t->endNext;
      next = jump_target(c, t->after);
      return StatementRun::ok;
    }
  }
  return break_in_full(c, true);
}

// A skipped line: what the text path does with it, its names declared as it declares them.
StatementRun run_skipped(Context& c, CompiledStatement& st) {
  switch (st.kind) {
    case CompiledStatement::kAssign: case CompiledStatement::kCall: case CompiledStatement::kAssignElement:
      if (!declare_names(c, st)) return StatementRun::not_run;
      c.traceEvent = trace::ev::kSkipped;
      return StatementRun::ok;
    case CompiledStatement::kIfBlock:
      if (!steps::has_room(c) || !declare_names(c, st)) return StatementRun::not_run;
      steps::open_skipped(c, sk::kIfThen);
      return StatementRun::ok;
    case CompiledStatement::kIfLine:
      return declare_names(c, st) ? StatementRun::ok : StatementRun::not_run;
    case CompiledStatement::kWhile: case CompiledStatement::kSwitch:
      if (!steps::has_room(c)) return StatementRun::not_run;
      steps::open_skipped(c, st.kind == CompiledStatement::kWhile ? sk::kWhile : sk::kSwitch);
      return StatementRun::ok;
    case CompiledStatement::kFor:   // (a skipped For line declares nothing)
      if (!names_exist(c, st) || !steps::has_room(c)) return StatementRun::not_run;
      steps::open_skipped(c, sk::kFor);
      return StatementRun::ok;
    case CompiledStatement::kTo: case CompiledStatement::kReturn:
      c.ifState = -1;
      return StatementRun::ok;
    default: return StatementRun::not_run;   // the words that run while skipping are handled by their kind
  }
}

// One dispatch per statement: the words that run while a block is skipped
// go straight to their handler, the others look at the skip state first.
// A jump may name the statement it goes to (`next`, current).
[[gnu::always_inline]] inline StatementRun run_kind(Context& c, CompiledStatement& st, CompiledStatement*& next) {
  switch (st.kind) {
    case CompiledStatement::kAssign: return skipping(c) ? run_skipped(c, st) : run_assign(c, st, next);
    case CompiledStatement::kNext: return run_next(c, st, next);
    case CompiledStatement::kTo: case CompiledStatement::kToBy:
      return skipping(c) ? run_skipped(c, st) : run_to(c, st);
    case CompiledStatement::kIfBlock: return skipping(c) ? run_skipped(c, st) : run_if(c, st);
    case CompiledStatement::kIfLine: return skipping(c) ? run_skipped(c, st) : run_if_line(c, st);
    case CompiledStatement::kWhile: return skipping(c) ? run_skipped(c, st) : run_while(c, st);
    case CompiledStatement::kFor: return skipping(c) ? run_skipped(c, st) : run_for(c, st);
    case CompiledStatement::kSwitch: return skipping(c) ? run_skipped(c, st) : run_switch(c, st, next);
    case CompiledStatement::kReturn: return skipping(c) ? run_skipped(c, st) : run_return(c, st, st.expr);
    case CompiledStatement::kAssignElement: return skipping(c) ? run_skipped(c, st) : run_assign_element(c, st);
    case CompiledStatement::kCall:
      if (skipping(c)) return run_skipped(c, st);
      return names_exist(c, st) ? run_strict_statement(c, st, st.expr, st.thenTarget) : StatementRun::not_run;
    case CompiledStatement::kElse: return run_else(c);
    case CompiledStatement::kEndIf: return run_endif(c);
    case CompiledStatement::kEndWhile: return run_endwhile(c, st, next);
    case CompiledStatement::kCase: return run_case(c, st);
    case CompiledStatement::kEndSwitch: return run_endswitch(c);
    case CompiledStatement::kBreak: return run_break(c, st, next);
    case CompiledStatement::kContinue: return break_in_full(c, false);
    default: return StatementRun::not_run;
  }
}

// The statement's text in c.line, for the report of an error it left.
void restore_line_text(Context& c, std::uint32_t stmtPos, std::uint32_t nextPos) {
  const std::string& text = c.script().text;
  if (stmtPos > text.size()) stmtPos = static_cast<std::uint32_t>(text.size());
  std::size_t n = nextPos > stmtPos ? nextPos - stmtPos : 0;
  n = std::min(n, text.size() - stmtPos);
  if (n > 0 && text[stmtPos + n - 1] == '\n') --n;
  n = std::min(n, static_cast<std::size_t>(limits::kMaxLine));
  std::memcpy(c.line, text.data() + stmtPos, n);
  c.line[n] = '\0';
}

void restore_line_text(Context& c, const CompiledStatement& st) { restore_line_text(c, st.stmtPos, st.nextPos); }

}  // namespace

namespace {

// The statement after `from` when the run did not name it: through the
// links `from` keeps, or looked up (kept apart: the loop's common case is
// the link to the next line).
[[gnu::noinline]] CompiledStatement* look_up_after(Context& c, const Script*& script, CompiledStatement& st) {
  if (st.kind == CompiledStatement::kEndWhile) {   // the only word that may change the script
    script = &c.script();
    return statement_at(c, *script);
  }
  // Only a statement that calls out can change the script's text or names.
  return statement_after(c, *script, st, !st.callsOut);
}

// The same, first for the common case of a statement that called out and
// goes on to the next line, which is still current (no lookup).
[[gnu::noinline]] CompiledStatement* statement_after_apart(Context& c, const Script*& script, CompiledStatement& st) {
  CompiledStatement* follow = st.follow;
  if (follow && c.pos == st.nextPos && st.kind != CompiledStatement::kEndWhile && current(c, *script, *follow))
    return follow;
  return look_up_after(c, script, st);
}

}  // namespace

[[gnu::noinline]] static StatementRun run_statements(Context& c, bool& messagesDue) {
  messagesDue = false;
  // Only a statement that calls out can ask for the run to be cancelled: one
  // asked for already is for the text path (which looks after each line).
  if (c.cancelRequested) return StatementRun::not_run;
  const Script* script = &c.script();
  CompiledStatement* st = statement_at(c, *script);
  if (!st) return StatementRun::not_run;
  // A statement budget and the statement hook are for tests and fuzzing:
  // without them each statement needs no bookkeeping of theirs.
  const bool counted = c.statementBudget != 0 || c.statementDone;
  // The first statement, any counted one, and any that may stop the run
  // take the long way after they ran; the common case is one test.
  bool first = true;
  bool slow = true;
  // One place runs every statement, so the dispatch is inlined once.
  for (;;) {
    // Counted before it runs, as the text path counts a line before the
    // lines of the functions it calls.
    if (counted && c.statementBudget != 0) --c.statementBudget;
    const std::uint32_t savedStmt = c.stmtPos, savedPos = c.pos;
    c.stmtPos = st->stmtPos;
    c.pos = st->nextPos;   // a jump overrides it
    c.assignFrame = limits::kNoFrame;
    c.assignSlot = limits::kNoSlot;
    CompiledStatement* next = nullptr;
    const StatementRun run = run_kind(c, *st, next);
    if (slow || run != StatementRun::ok || st->mayStop) [[unlikely]] {
      if (run == StatementRun::not_run) {
        c.stmtPos = savedStmt;
        c.pos = savedPos;
        if (counted && c.statementBudget != 0) ++c.statementBudget;
        // What a statement left to the text path makes of this run:
        // nothing happened when it is the first.
        return first ? StatementRun::not_run : StatementRun::ok;
      }
      if (first) {
        first = false;
        slow = counted;
        c.replay = nullptr;   // c.line no longer holds the statement being run
        c.lineSubstituted = false;
      }
      if (counted && c.statementDone) c.statementDone(c);
      // The rare ends of a run: a failure, a Return, a call that turned the
      // trace or stepping on or asked to cancel.
      if (run == StatementRun::failed) {
        restore_line_text(c, *st);
        return run;
      }
      if (st->mayStop) {
        if (c.returned) return run;   // the run loop ends the function
        if (st->callsOut && !statement_path_enabled(c)) return run;
        if (c.cancelRequested) {
          messagesDue = true;
          return run;
        }
      }
    }
    if (!c.pumpThrottle.skip_after_cheap_statement(st->pumpWeight)) [[unlikely]] {
      messagesDue = true;
      return run;
    }
    // The last statement of a budget is left to the text path, which ends the run.
    if (counted && c.statementBudget == 1) return run;
    if (!next) {
      if (st->trustsLinks) {
        if (c.pos == st->nextPos) next = st->follow;
        else if (c.pos == st->jumpedPos) next = st->jumped;
      }
      if (!next && !(next = statement_after_apart(c, script, *st))) return run;
    }
    st = next;
  }
}

// Compiled statements run outside the text path's guard: an exception (no
// memory for a map entry, say) becomes the error of the statement it left,
// reported against that statement's line as the text path would.
StatementRun run_compiled_statements(Context& c, bool& messagesDue) {
  try {
    return run_statements(c, messagesDue);
  } catch (...) {
    fail(c, error_for_current_exception());
    const std::string& text = c.script().text;
    const std::size_t end = text.find('\n', c.stmtPos);
    restore_line_text(c, c.stmtPos, static_cast<std::uint32_t>(end == std::string::npos ? text.size() : end + 1));
    return StatementRun::failed;
  }
}

namespace {

// A line that may switch the trace or single stepping on stays text: the
// entry it leaves in the trace is the text path's.
bool switches_watching(const CachedLine& cached) {
  for (const CachedToken& t : cached.tokens)
    if (keyword_token(t) && keyword_has(t.delim, kw_flag::kWatches)) return true;
  return false;
}

}  // namespace

void learn_statement(Context& c, const CachedLine& cached, std::uint32_t readPos) {
  if (!statement_path_enabled(c)) return;
  Script& s = c.script();
  if (!s.statements) s.statements = std::make_shared<StatementCache>();
  auto& byPos = s.statements->byPos;
  auto found = byPos.find(readPos);
  if (found != byPos.end() && found->second.textVersion == s.textVersion &&
      found->second.generation == c.keywordGeneration)
    return;   // tried already
  if (found == byPos.end() && byPos.size() >= kMaxCompiledStatements) return;
  if (found != byPos.end() && found->second.running) return;
  CompiledStatement st;
  st.stmtPos = c.stmtPos;
  st.nextPos = c.pos;
  st.textVersion = s.textVersion;
  st.generation = c.keywordGeneration;
  const char first = c.line[0];
  // Labels, pointer statements and definition lines keep their own rules.
  if (first != ':' && first != '*' && first != '#' && !switches_watching(cached)) classify(c, cached, st);
  if (st.kind != CompiledStatement::kNone) {
    for (const CompiledExpr& e : st.code.exprs) st.callsOut = st.callsOut || e.effects;
    st.mayStop = st.callsOut || st.kind == CompiledStatement::kReturn || st.kind == CompiledStatement::kIfLine;
    st.trustsLinks = !st.callsOut && st.kind != CompiledStatement::kEndWhile;
    st.pumpWeight = st.callsOut ? PumpThrottle::kCallWeight : PumpThrottle::kComputeWeight;
    for (const CachedToken& t : cached.tokens)
      if (t.kind == tk::kVariable) st.names.push_back(NameRef{t.text});
  } else {
    st.code = CompiledLine{};
  }
  CompiledStatement& kept = byPos[readPos] = std::move(st);
  if (kept.kind != CompiledStatement::kNone && kept.expr >= 0) {
    const CompiledExpr& e = expr_of(kept, kept.expr);
    if (e.intCount == 1) {
      kept.lone = &kept.code.intCode[e.intStart];
      kept.loneNesting = e.nesting;
    }
    find_text_condition(kept, e);
  }
}

}  // namespace orv
