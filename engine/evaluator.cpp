#include "engine/evaluator.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/builtin_calls.h"
#include "engine/arrays.h"
#include "engine/assign_ops.h"
#include "engine/compiled.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keywords.h"
#include "engine/maps.h"
#include "engine/messages.h"
#include "engine/object_members.h"
#include "engine/operator_table.h"
#include "engine/script.h"
#include "engine/sizes.h"
#include "engine/subscripts.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {
namespace {

bool level1(Context& c, Operand& out);
bool unary_level(Context& c, Operand& out);

// The current token is a binary operator of `level`.
bool operator_of(const Context& c, ops::Level level) {
  return c.tokKind == tk::kKeyword && ops::binary_level(c.delim) == level;
}

}  // namespace


namespace {

// The subscripts up to "]", which stays current: a member may follow it.
bool read_subscripts(Context& c, std::int32_t* subs, int& count) {
  count = 0;
  get_token(c);
  for (;;) {
    if (failed(c)) return false;
    if (count == kMaxDimensions) return fail(c, errs::kArrayWrongDimensions);
    Temp sub(c);
    if (!process_sub_expression(c, sub.op(), false, false)) return false;
    if (!to_int32(c, sub.op())) { c.error = 0; return fail(c, errs::kArrayDimensionsNotNumeric); }
    subs[count++] = sub->i;
    if (is_keyword(c, id::kRBracket)) return true;
    if (!is_keyword(c, id::kComma)) return fail(c, errs::kArrayBadSyntax);
    get_token(c);
  }
}

// With "]" current: ".name" written right after it starts a member chain.
bool member_follows(const Context& c) { return c.prog[0] == '.' && is_name_start(c.prog[1]); }

}  // namespace

bool parse_subscripts(Context& c, std::int32_t* subs, int& count) {
  if (!read_subscripts(c, subs, count)) return false;
  get_token(c);
  return !failed(c);
}

Value* array_element(Context& c, const Value& array, const std::int32_t* subs, int count) {
  ArrayHeader* h = c.arrays.header(array.str);
  if (!h) { fail(c, errs::kArrayAccessFailed); return nullptr; }
  std::uint32_t index = 0;
  std::uint16_t err = 0;
  if (!array_index(*h, subs, count, index, err)) { fail(c, err); return nullptr; }
  return &c.arrays.elements(array.str)[index];
}

namespace {

// ---- Primaries ----
// Parses the "[key]" of a map with "[" current; leaves "]" current.
bool read_map_key(Context& c, MapKey& key) {
  get_token(c);
  if (failed(c)) return false;
  Temp sub(c);
  if (!process_sub_expression(c, sub.op(), false, false)) return false;
  if (is_keyword(c, id::kComma)) return fail(c, errs::kMapOneKey);
  if (!is_keyword(c, id::kRBracket)) return fail(c, errs::kArrayBadSyntax);
  return map_key_of(c, sub.op(), key);
}

// The same, leaving the token after "]" current.
bool parse_map_key(Context& c, MapKey& key) {
  if (!read_map_key(c, key)) return false;
  get_token(c);
  return !failed(c);
}

// The element just read (in `element`, "]" current) as the value, or the
// start of the member chain written after it.
bool element_or_member(Context& c, Temp& element, Operand& out) {
  if (member_follows(c)) return object_member_chain(c, element.op(), std::string(), out);
  release_value(c, out);
  element.move_to(out);
  get_token(c);
  return !failed(c);
}

bool read_element(Context& c, const Value& array, Operand& out) {
  std::int32_t subs[kMaxDimensions];
  int count = 0;
  const std::uint32_t handle = array.str;
  c.arrays.add_ref(handle);   // the subscripts may reassign the variable
  Value hold{};
  hold.flags = vf::kArray;
  hold.str = handle;
  // The element is copied before a member chain runs: the chain's calls may
  // change the array.
  Temp element(c);
  if (MapStore* map = c.arrays.map(handle)) {
    MapKey key;
    const bool ok = read_map_key(c, key) && map_read(c, *map, key, element.op());
    release_value(c, hold);
    return ok && element_or_member(c, element, out);
  }
  bool ok = read_subscripts(c, subs, count);
  if (ok) {
    Value* el = array_element(c, hold, subs, count);
    if (!el) ok = false;
    else if (!is_assigned(*el)) ok = fail(c, errs::kUninitializedElement);
    else ok = copy_value(c, *el, element.op());
  }
  release_value(c, hold);
  return ok && element_or_member(c, element, out);
}

// The slot the scanner found for the current variable token, checked.
std::uint16_t scanned_slot(const Context& c) {
  const std::uint16_t slot = c.tokenSlot;
  if (slot < c.hwm && c.slots[slot].v.flags != 0 && std::strcmp(c.slots[slot].name, c.token) == 0) return slot;
  return kNotFound;
}

bool read_variable(Context& c, Operand& out) {
  std::uint16_t slot = scanned_slot(c);
  if (slot == kNotFound || !is_assigned(c.slots[slot].v)) slot = find_var(c, c.token, true);
  if (slot == kNotFound) return false;
  if ((c.slots[slot].v.flags & vf::kArray)) {
    ScanState at = save_scan(c);
    get_token(c);
    if (failed(c)) return false;
    if (is_keyword(c, id::kLBracket)) return read_element(c, c.slots[slot].v, out);
    restore_scan(c, at);
  }
  if (!copy_value(c, c.slots[slot].v, out)) return false;
  out.slot = slot;
  out.frame = c.level;
  get_token(c);
  return !failed(c);
}

bool read_integer_literal(Context& c, Operand& out) {
  IntText it = parse_integer_text(c.token, true);
  if (it.ok) {
    if (it.is64) make_int64(out, it.value);
    else make_int(out, static_cast<std::int32_t>(it.value));
  } else {
    double f = 0;
    if (parse_float_text(c.token, f) != FloatText::ok) return fail(c, errs::kFpOverflow);
    make_float(out, f);
  }
  get_token(c);
  return !failed(c);
}

// The text of a value used as a pointer; 3813 when it holds no text.
bool pointer_text(Context& c, const Value& v, std::string& text) {
  if (!(v.flags & (vf::kStr | vf::kWide)) || !value_text(c, v, text)) return fail(c, errs::kNotAPointer);
  return true;
}

// Reads the variable named by a pointer text, switching frames for the access.
bool read_via_pointer(Context& c, const std::string& pointerText, Operand& out) {
  PointerTarget t;
  if (!parse_pointer(c, pointerText, t)) return false;
  std::uint16_t home = c.level;
  if (!switch_frame(c, t.level)) return fail(c, errs::kPointerUnreachable);
  std::uint16_t slot = find_slot(c, t.name);
  bool ok = true;
  if (slot == kNotFound) ok = fail(c, errs::kNotAPointer);
  else if (!is_assigned(c.slots[slot].v)) ok = fail(c, errs::kPointerUninitialized);
  else ok = copy_value(c, c.slots[slot].v, out);
  if (!switch_frame(c, home)) return fail(c, errs::kVariableTableError);
  return ok;
}

// "*ptr.member...": the token is the dotted word; the chain runs on the
// variable the pointer names.
bool member_via_pointer(Context& c, Operand& out) {
  const std::string dotted = c.token;
  const std::size_t dot = dotted.find('.');
  const std::uint16_t slot = find_var(c, lower_name(dotted.substr(0, dot)), true);
  if (slot == kNotFound) return false;
  std::string text;
  if (!pointer_text(c, c.slots[slot].v, text)) return false;
  Temp target(c);
  if (!read_via_pointer(c, text, target.op())) return false;
  return object_member_chain(c, target.op(), dotted.substr(dot + 1), out);
}

}  // namespace


namespace {

bool primary(Context& c, Operand& out) {
  if (failed(c)) return false;
  switch (c.tokKind) {
    case tk::kVariable: return read_variable(c, out);
    case tk::kInteger: return read_integer_literal(c, out);
    case tk::kFloat: {
      double f = 0;
      FloatText r = parse_float_text(c.token, f);
      if (r == FloatText::too_large) return fail(c, errs::kFpOverflow);
      if (r != FloatText::ok) return fail(c, errs::kUnrecognizedItem);
      make_float(out, f);
      get_token(c);
      return !failed(c);
    }
    case tk::kString:
      if (!make_string(c, out, c.token)) return false;
      get_token(c);
      return !failed(c);
    case tk::kMultiline:
      if (!read_multiline_constant(c, out)) return false;
      get_token(c);
      return !failed(c);
    case tk::kKeyword: break;
    default: return fail(c, errs::kIllegalSyntax);
  }
  const int kw = c.delim;
  if (is_function_id(c, kw)) return call_function(c, kw, out);
  if (kw == id::kLParen) {
    get_token(c);
    if (failed(c)) return false;
    if (!process_sub_expression(c, out, false, false)) return false;
    if (!is_keyword(c, id::kRParen)) return fail(c, errs::kUnbalancedParentheses);
    get_token(c);
    return !failed(c);
  }
  if (keyword_kind(c, kw) == kk::kConstant) {
    if (!constant_value(keyword_record(c, kw)->counts, out, c)) return false;
    get_token(c);
    return !failed(c);
  }
  return fail(c, errs::kIllegalSyntax);
}

// Bounds the recursion of nested expressions so a script cannot exhaust the stack.
class DepthGuard {
 public:
  explicit DepthGuard(Context& c) : c_(c) { ++c_.exprDepth; }
  ~DepthGuard() { --c_.exprDepth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool too_deep() const { return c_.exprDepth > limits::kExpressionDepth; }

 private:
  Context& c_;
};

bool unary_level(Context& c, Operand& out) {
  if (failed(c)) return false;
  DepthGuard depth(c);
  if (depth.too_deep()) return fail(c, errs::kIllegalSyntax, "Expression nested too deeply");
  if (c.tokKind == tk::kKeyword) {
    const int op = c.delim;
    if (ops::is_prefix(op)) {
      get_token(c);
      if (!unary_level(c, out)) return false;
      return apply_unary(c, op, out);
    }
    if (op == id::kAmp && c.lastAmpIsPointer) {
      get_token(c);
      if (failed(c)) return false;
      if (c.tokKind != tk::kVariable) return fail(c, errs::kBadAddressOf);
      if (!make_string(c, out, make_pointer(c, c.level, c.token))) return false;
      get_token(c);
      return !failed(c);
    }
    if (op == id::kStar) {
      get_token(c);
      if (is_keyword(c, id::kOleObject)) return member_via_pointer(c, out);
      Temp ptr(c);
      if (!unary_level(c, ptr.op())) return false;
      std::string text;
      return pointer_text(c, ptr.op(), text) && read_via_pointer(c, text, out);
    }
  }
  return primary(c, out);
}

using LevelFn = bool (*)(Context&, Operand&);

bool pow_level(Context& c, Operand& out) {
  if (!unary_level(c, out)) return false;
  while (operator_of(c, ops::kPower)) {
    get_token(c);
    Temp right(c);
    if (!unary_level(c, right.op())) return false;
    if (!combine_arithmetic(c, id::kPow, out, right.op())) return false;
  }
  return true;
}

template <LevelFn Next, ops::Level Level>
bool binary_level(Context& c, Operand& out) {
  if (!Next(c, out)) return false;
  while (operator_of(c, Level)) {
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!Next(c, right.op())) return false;
    if (!combine_arithmetic(c, op, out, right.op())) return false;
  }
  return true;
}

bool mul_level(Context& c, Operand& out) { return binary_level<pow_level, ops::kProduct>(c, out); }
bool add_level(Context& c, Operand& out) { return binary_level<mul_level, ops::kSum>(c, out); }
bool shift_level(Context& c, Operand& out) { return binary_level<add_level, ops::kShift>(c, out); }

bool concat_level(Context& c, Operand& out) {
  if (!shift_level(c, out)) return false;
  while (operator_of(c, ops::kConcat)) {
    get_token(c);
    Temp right(c);
    if (!shift_level(c, right.op())) return false;
    if (!combine_concat(c, out, right.op())) return false;
  }
  return true;
}

bool compare_level(Context& c, Operand& out) {
  if (!concat_level(c, out)) return false;
  for (;;) {
    if (is_keyword(c, id::kAssign)) return fail(c, errs::kAssignmentNotLegal, message_text(errs::kHintUseDoubleEquals));
    if (!operator_of(c, ops::kCompare)) return true;
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!concat_level(c, right.op())) return false;
    if (!combine_comparison(c, op, out, right.op(), false)) return false;
  }
}

bool bitwise_level(Context& c, Operand& out) {
  if (!compare_level(c, out)) return false;
  while (operator_of(c, ops::kBitwise) && !(c.delim == id::kAmp && c.lastAmpIsPointer)) {
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!compare_level(c, right.op())) return false;
    if (!combine_arithmetic(c, op, out, right.op())) return false;
  }
  return true;
}

bool level1(Context& c, Operand& out) { return binary_level<bitwise_level, ops::kLogical>(c, out); }

bool is_assignment_operator(const Context& c) {
  return c.tokKind == tk::kKeyword && is_assignment_id(c.delim);
}

// Evaluates the right side of an assignment (the operator is current) and
// combines it with the current value for a compound operator.
// `current_of` gives the target's value after the right side ran (it may change it).
template <typename CurrentOf>
bool assigned_value(Context& c, int assignOp, CurrentOf current_of, const std::string& name, Temp& value) {
  get_token(c);
  if (failed(c)) return false;
  if (!level1(c, value.op())) return false;
  if (assignOp != id::kAssign) {
    const Value* current = current_of();
    if (!current) return failed(c) ? false : fail(c, errs::kUninitializedElement);
    if (!is_assigned(*current)) return fail(c, errs::kUninitializedVariable, message_text(errs::kUninitializedPrefix) + "\n\n    " + name);
    if (!compound_value(c, assignOp, *current, value.op())) return false;
  }
  if (!at_end(c)) return fail(c, errs::kExtraAfterEnd, message_text(errs::kHintExtraAfterEnd));
  return true;
}

// Assignment to variable `name` of frame `level`. The right side is evaluated
// in the current frame; only the target lives in the other one.
bool assign(Context& c, Operand& result, const std::string& name, std::uint16_t level,
            std::uint16_t knownSlot = kNotFound) {
  const int assignOp = c.delim;
  const std::uint16_t home = c.level;
  std::uint16_t slot = kNotFound;
  auto enter = [&] {
    if (!switch_frame(c, level)) return fail(c, errs::kPointerUnreachable);
    if (knownSlot < c.hwm && c.slots[knownSlot].v.flags != 0 && name == c.slots[knownSlot].name) {
      slot = knownSlot;
      return true;
    }
    slot = find_slot(c, name);
    if (slot == kNotFound) slot = find_or_create_slot(c, name);
    return slot != kNotFound;
  };
  auto leave = [&] { return switch_frame(c, home) ? true : fail(c, errs::kVariableTableError); };
  if (!enter()) { leave(); return false; }
  c.assignFrame = level;
  c.assignSlot = slot;
  if (!leave()) return false;
  Temp value(c);
  // The target's value is read after the right side ran, which may change it.
  Temp current(c);
  auto current_of = [&]() -> const Value* {
    if (!enter()) { c.error = 0; leave(); return nullptr; }
    bool ok = copy_value(c, c.slots[slot].v, current.op());
    leave();
    return ok ? &current.op() : nullptr;
  };
  if (!assigned_value(c, assignOp, current_of, name, value)) return false;
  if (!enter()) { leave(); return false; }
  Value stored{};
  value.move_to(stored);
  stored.flags &= ~vf::kDeclared;
  const bool stored_ok = store_in_slot(c, slot, stored);
  if (!leave() || !stored_ok) return false;
  make_int(result, 0);
  return true;
}

// "name[key] op value" on a map, with the "[" current. The map is looked up
// again after the right side ran (which may change the variable) and made
// the variable's own before it changes, as a variable's value never changes
// through another holder.
bool assign_map_element(Context& c, Operand& result, const std::string& name) {
  MapKey key;
  if (!parse_map_key(c, key)) return false;
  const int assignOp = c.delim;
  auto target = [&]() -> MapStore* {
    const std::uint16_t slot = find_slot(c, name);
    if (slot == kNotFound) { fail(c, errs::kUndefinedName); return nullptr; }
    Value& v = c.slots[slot].v;
    if (!map_of(c, v)) { fail(c, errs::kNotArrayVariable); return nullptr; }
    if (!own_array(c, v)) return nullptr;
    return map_of(c, v);
  };
  Temp value(c);
  auto current_of = [&]() -> const Value* {
    MapStore* map = target();
    if (!map) return nullptr;
    const Value* v = map->find(key);
    if (!v) {
      Temp missing(c);
      map_read(c, *map, key, missing.op());   // the error that names the key
    }
    return v;
  };
  if (!assigned_value(c, assignOp, current_of, name, value)) return false;
  MapStore* map = target();
  if (!map) return false;
  Value stored{};
  value.move_to(stored);
  if (!map_store(c, *map, key, stored)) return false;
  make_int(result, 0);
  return true;
}

// "name[subscripts] op value" with the "[" current.
bool assign_element(Context& c, Operand& result, const std::string& name) {
  std::uint16_t slot = find_slot(c, name);
  if (slot == kNotFound) return fail(c, errs::kUndefinedName);
  if (!(c.slots[slot].v.flags & vf::kArray)) return fail(c, errs::kNotArrayVariable);
  if (map_of(c, c.slots[slot].v)) return assign_map_element(c, result, name);
  Value hold{};
  if (!copy_value(c, c.slots[slot].v, hold)) return false;   // keeps the array alive meanwhile
  struct Release { Context& c; Value& v; ~Release() { release_value(c, v); } } guard{c, hold};
  std::int32_t subs[kMaxDimensions];
  int count = 0;
  if (!parse_subscripts(c, subs, count)) return false;
  const int assignOp = c.delim;
  if (!array_element(c, hold, subs, count)) return false;
  Temp value(c);
  auto current_of = [&]() -> const Value* {
    const Value* el = array_element(c, hold, subs, count);
    if (!el) c.error = 0;
    return el;
  };
  if (!assigned_value(c, assignOp, current_of, name, value)) return false;
  // An element may hold a map (a copy of its own), never an array.
  if ((value->flags & vf::kArray) && !map_of(c, value.op())) return fail(c, errs::kEmbeddedArray);
  if (!own_array(c, value.op())) return false;
  Value* el = array_element(c, hold, subs, count);
  if (!el) return false;
  Value stored{};
  value.move_to(stored);
  Value old = *el;
  *el = stored;
  release_value(c, old);
  make_int(result, 0);
  return true;
}

// True when the text after the bracketed part at c.prog ("[" just read) is an assignment operator.
bool subscripts_then_assignment(Context& c) {
  const char* p = c.prog;
  int depthB = 1;
  char quote = 0;
  for (; *p && depthB > 0; ++p) {
    if (quote) { if (*p == quote) quote = 0; continue; }
    if (*p == '"' || *p == '\'' || *p == '`') quote = *p;
    else if (*p == '[') ++depthB;
    else if (*p == ']') --depthB;
  }
  if (depthB != 0) return false;
  ScanState at = save_scan(c);
  c.prog = const_cast<char*>(p);
  get_token(c);
  bool yes = !failed(c) && is_assignment_operator(c);
  c.error = 0;
  restore_scan(c, at);
  return yes;
}

bool assign_via_pointer(Context& c, Operand& result) {
  get_token(c);   // the pointer variable after "*"
  if (failed(c)) return false;
  if (is_keyword(c, id::kOleObject)) return member_via_pointer(c, result);
  if (c.tokKind != tk::kVariable) return fail(c, errs::kNotAPointer);
  std::uint16_t ptrSlot = find_var(c, c.token, true);
  if (ptrSlot == kNotFound) return false;
  std::string text;
  if (!pointer_text(c, c.slots[ptrSlot].v, text)) return false;
  PointerTarget t;
  if (!parse_pointer(c, text, t)) return false;
  get_token(c);
  if (failed(c)) return false;
  if (!is_assignment_operator(c)) return fail(c, errs::kIllegalSyntax);
  return assign(c, result, t.name, t.level);
}

}  // namespace

bool process_sub_expression(Context& c, Operand& result, bool assignAllowed, bool pointerTarget) {
  if (failed(c)) return false;
  if (c.replay && !pointerTarget) {
    switch (run_compiled_expression(c, result, assignAllowed)) {
      case CompiledRun::ok: return true;
      case CompiledRun::failed: return false;
      case CompiledRun::not_run: break;
    }
  }
  const bool savedAllowed = c.assignAllowed;
  c.assignAllowed = assignAllowed;
  bool ok;
  if (pointerTarget && is_keyword(c, id::kStar)) {
    ok = assignAllowed ? assign_via_pointer(c, result) : fail(c, errs::kAssignmentNotLegal, message_text(errs::kHintUseDoubleEquals));
  } else if (c.tokKind == tk::kVariable) {
    ScanState before = save_scan(c);
    const std::uint16_t nameSlot = scanned_slot(c);
    std::string name = c.token;
    get_token(c);
    if (!failed(c) && is_assignment_operator(c)) {
      ok = assignAllowed ? assign(c, result, name, c.level, nameSlot) : fail(c, errs::kAssignmentNotLegal, message_text(errs::kHintUseDoubleEquals));
    } else if (!failed(c) && is_keyword(c, id::kLBracket) && subscripts_then_assignment(c)) {
      ok = assignAllowed ? assign_element(c, result, name) : fail(c, errs::kAssignmentNotLegal, message_text(errs::kHintUseDoubleEquals));
    } else {
      c.error = 0;
      restore_scan(c, before);
      ok = level1(c, result);
    }
  } else {
    ok = level1(c, result);
  }
  c.assignAllowed = savedAllowed;
  if (!ok) {
    release_value(c, result);
    clear_operand(result);
  }
  return ok;
}

}  // namespace orv
