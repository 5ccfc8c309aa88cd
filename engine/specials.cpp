#include "engine/specials.h"

#include <cstdio>
#include "engine/error_numbers.h"
#include "engine/object_hooks.h"
#include "engine/arrays.h"
#include "engine/evaluator.h"
#include "engine/keywords.h"
#include "engine/messages.h"
#include "engine/subscripts.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "engine/convert.h"

namespace orv {
namespace {

bool open_paren(Context& c, const char* name) {
  get_token(c);
  if (failed(c)) return false;
  if (!is_keyword(c, id::kLParen)) return fail(c, errs::kOpenParenMissing, std::string(name) + " " + message_text(errs::kHintNoOpenParen));
  get_token(c);
  return !failed(c);
}

bool close_paren(Context& c) {
  if (!is_keyword(c, id::kRParen)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
  get_token(c);
  return !failed(c);
}

// A name argument: a variable name, or "*" and a variable holding a pointer.
// `level` and `name` receive the variable it designates; false when the
// argument is not of that form (no error is set).
bool name_argument(Context& c, std::uint16_t& level, std::string& name, bool& pointerOk) {
  pointerOk = true;
  level = c.level;
  if (is_keyword(c, id::kStar)) {
    get_token(c);
    if (failed(c) || c.tokKind != tk::kVariable) return false;
    std::uint16_t slot = find_slot(c, c.token);
    std::string text;
    PointerTarget t;
    if (slot == kNotFound || !is_assigned(c.slots[slot].v) || !(c.slots[slot].v.flags & (vf::kStr | vf::kWide)) ||
        !value_text(c, c.slots[slot].v, text) || !parse_pointer(c, text, t)) {
      c.error = 0;
      pointerOk = false;
      get_token(c);
      return true;
    }
    level = t.level;
    name = t.name;
    get_token(c);
    return !failed(c);
  }
  if (c.tokKind != tk::kVariable) return false;
  name = c.token;
  get_token(c);
  return !failed(c);
}

// Runs `fn` on the slot of (level, name), or with kNotFound when it has none.
template <typename Fn>
bool with_slot(Context& c, std::uint16_t level, const std::string& name, Fn fn) {
  std::uint16_t home = c.level;
  if (!switch_frame(c, level)) return fail(c, errs::kPointerUnreachable);
  fn(find_slot(c, name));
  if (!switch_frame(c, home)) return fail(c, errs::kVariableTableError);
  return !failed(c);
}

bool skip_to_close(Context& c) {
  int depthParen = 0;
  while (!at_end(c) && !failed(c)) {
    if (is_keyword(c, id::kLParen)) ++depthParen;
    if (is_keyword(c, id::kRParen)) { if (depthParen == 0) break; --depthParen; }
    get_token(c);
  }
  return !failed(c);
}

// Passes over "[...]" (with "[" current) without evaluating it.
bool skip_subscripts(Context& c) {
  int depth = 0;
  do {
    if (is_keyword(c, id::kLBracket)) ++depth;
    else if (is_keyword(c, id::kRBracket)) --depth;
    get_token(c);
  } while (depth > 0 && !at_end(c) && !failed(c));
  return !failed(c);
}

// What "[...]" after a name argument designates.
enum class Element { absent, not_array, found };

// With "[" current after the variable (level, name): reads the subscripts and
// finds the element of its array; `hold` keeps that array alive meanwhile, as
// the subscripts may change the variable. The subscripts of a variable that
// holds nothing, or no array, are passed over unread. False with the error set.
bool element_argument(Context& c, std::uint16_t level, const std::string& name, Temp& hold, Value*& element,
                      Element& what) {
  element = nullptr;
  what = Element::absent;
  if (!with_slot(c, level, name, [&](std::uint16_t slot) {
        if (slot == kNotFound || !is_assigned(c.slots[slot].v)) return;
        if (!(c.slots[slot].v.flags & vf::kArray)) { what = Element::not_array; return; }
        if (copy_value(c, c.slots[slot].v, hold.op())) what = Element::found;
      }))
    return false;
  if (what != Element::found) return skip_subscripts(c);
  std::int32_t subs[kMaxDimensions];
  int count = 0;
  if (!parse_subscripts(c, subs, count)) return false;
  element = array_element(c, hold.op(), subs, count);
  return element != nullptr;
}

// Runs `fn` on the value a name argument designates, nullptr when it holds
// nothing: the variable, or with "[...]" after it one element of its array.
// `isName` becomes false for subscripts after a variable that is no array.
template <typename Fn>
bool with_target(Context& c, std::uint16_t level, const std::string& name, bool& isName, Fn fn) {
  if (!is_keyword(c, id::kLBracket))
    return with_slot(c, level, name, [&](std::uint16_t slot) { fn(slot == kNotFound ? nullptr : &c.slots[slot].v); });
  Temp hold(c);
  Value* element = nullptr;
  Element what = Element::absent;
  if (!element_argument(c, level, name, hold, element, what)) return false;
  if (what == Element::not_array) isName = false;
  else fn(element);
  return true;
}

// Drop(a[...]) empties that element; the array keeps its shape.
bool drop_element(Context& c, std::uint16_t level, const std::string& name) {
  Temp hold(c);
  Value* element = nullptr;
  Element what = Element::absent;
  if (!element_argument(c, level, name, hold, element, what)) return false;
  if (what == Element::not_array) return fail(c, errs::kDropNotVariable);
  if (element) {
    Value old = *element;   // detached before it is released, as an element assignment does
    clear_value(*element);
    release_value(c, old);
  }
  return true;
}

bool drop(Context& c, Operand& result) {
  if (!open_paren(c, "drop")) return false;
  for (;;) {
    std::uint16_t level = 0;
    std::string name;
    bool pointerOk = true;
    if (!name_argument(c, level, name, pointerOk)) return failed(c) ? false : fail(c, errs::kDropNotVariable);
    if (is_keyword(c, id::kLBracket)) {
      if (!(pointerOk ? drop_element(c, level, name) : skip_subscripts(c))) return false;
    } else if (pointerOk && !with_slot(c, level, name, [&](std::uint16_t slot) {
                 if (slot != kNotFound && !(level == c.assignFrame && slot == c.assignSlot)) drop_slot(c, slot);
               })) {
      return false;
    }
    if (is_keyword(c, id::kComma)) { get_token(c); if (failed(c)) return false; continue; }
    break;
  }
  make_int(result, 1);
  return close_paren(c);
}

bool query(Context& c, int kw, Operand& result) {
  const char* fname = kw == id::kIsDefined ? "isdefined" : kw == id::kVarType ? "vartype" : "objecttypeget";
  if (!open_paren(c, fname)) return false;
  std::uint16_t level = 0;
  std::string name;
  bool pointerOk = true;
  bool isName = name_argument(c, level, name, pointerOk);
  if (failed(c)) return false;
  // An invalid pointer designates nothing; its subscripts are not read.
  if (isName && !pointerOk && is_keyword(c, id::kLBracket) && !skip_subscripts(c)) return false;
  std::string type;
  std::int32_t answer = -1;
  if (isName && pointerOk && !with_target(c, level, name, isName, [&](const Value* v) {
        const bool assigned = v && is_assigned(*v);
        if (kw == id::kObjectTypeGet) type = v ? com_type_name(*v) : std::string();
        else if (kw == id::kIsDefined) answer = assigned ? 1 : 0;
        else answer = assigned ? static_cast<std::int32_t>(v->flags & 0xFFFF) : 0;
      }))
    return false;
  if (!isName) skip_to_close(c);
  if (kw == id::kObjectTypeGet) {
    if (!make_string(c, result, type)) return false;
  } else {
    make_int(result, answer);
  }
  return close_paren(c);
}

bool pointer_error(Context& c, std::uint16_t number) { return fail(c, errs::kPointerError, message_text(number)); }

bool make_pointer_result(Context& c, Operand& result, std::uint16_t level, const std::string& name) {
  return make_string(c, result, make_pointer(c, level, name));
}

bool ptr_global(Context& c, int kw, Operand& result) {
  const char* fname = kw == id::kPtrGlobal ? "ptrglobal" : kw == id::kPtrGlobalTest ? "ptrglobaltest" : "ptrglobaldefine";
  if (!open_paren(c, fname)) return false;
  if (c.tokKind != tk::kVariable) {
    if (kw == id::kPtrGlobalTest) { skip_to_close(c); make_int(result, 0); return close_paren(c); }
    return pointer_error(c, errs::kNotAVariableName);
  }
  std::string name = c.token;
  get_token(c);
  if (failed(c)) return false;
  std::uint16_t home = c.level;
  if (kw == id::kPtrGlobalDefine) {
    if (c.level != 0 || c.callLevel < 0) return pointer_error(c, errs::kPtrGlobalDefineNotMain);
    std::uint16_t slot = find_or_create_slot(c, name);
    if (slot == kNotFound) return false;
    c.slots[slot].name[31] |= kDeclaredGlobalBit;
    if (!make_pointer_result(c, result, 0, name)) return false;
    return close_paren(c);
  }
  if (!switch_frame(c, 0)) return fail(c, errs::kPointerUnreachable);
  std::uint16_t slot = find_slot(c, name);
  std::uint32_t problem = 0;
  if (slot == kNotFound) problem = errs::kPointerCreateFailed;
  else if (!is_assigned(c.slots[slot].v)) problem = errs::kVariableNotFound;
  else if (!(c.slots[slot].name[31] & kDeclaredGlobalBit)) problem = errs::kNotAGlobal;
  if (!switch_frame(c, home)) return fail(c, errs::kVariableTableError);
  if (kw == id::kPtrGlobalTest) {
    make_int(result, problem == 0 ? 1 : 0);
    return close_paren(c);
  }
  if (problem) return pointer_error(c, problem);
  if (!make_pointer_result(c, result, 0, name)) return false;
  return close_paren(c);
}

bool ptr_persistent(Context& c, Operand& result) {
  if (!open_paren(c, "ptrpersistent")) return false;
  if (c.tokKind != tk::kVariable) return pointer_error(c, errs::kNotAVariableName);
  std::string name = c.token;
  if (name.size() > static_cast<std::size_t>(limits::kPersistentNameMax)) return pointer_error(c, errs::kPersistentNameTooLong);
  get_token(c);
  if (failed(c)) return false;
  if (!is_keyword(c, id::kComma)) return fail(c, errs::kWrongArgumentCount, message_text(errs::kHintMissingParen));
  get_token(c);
  if (failed(c)) return false;
  char stored[48];
  std::snprintf(stored, sizeof stored, "?%02x__%s", c.persistentUdf & 0xFF, name.c_str());
  std::uint16_t home = c.level;
  if (!switch_frame(c, 0)) return fail(c, errs::kPointerUnreachable);
  std::uint16_t slot = find_or_create_slot(c, stored);
  bool assigned = slot != kNotFound && is_assigned(c.slots[slot].v);
  if (!switch_frame(c, home)) return fail(c, errs::kVariableTableError);
  if (slot == kNotFound) return false;
  Operand value;
  clear_operand(value);
  if (!process_sub_expression(c, value, false, false)) return false;
  if (!assigned) {
    if (!switch_frame(c, 0)) { release_value(c, value); return fail(c, errs::kPointerUnreachable); }
    store_in_slot(c, slot, value);
    if (!switch_frame(c, home)) return fail(c, errs::kVariableTableError);
  } else {
    release_value(c, value);
  }
  if (!make_pointer_result(c, result, 0, stored)) return false;
  return close_paren(c);
}

bool makepointer(Context& c, Operand& result) {
  if (!open_paren(c, "?makepointer")) return false;
  if (c.tokKind != tk::kVariable) return fail(c, errs::kMakePointerNotName);
  if (!make_pointer_result(c, result, c.level, c.token)) return false;
  get_token(c);
  if (failed(c)) return false;
  return close_paren(c);
}

}  // namespace

bool call_special(Context& c, int kw, Operand& result) {
  switch (kw) {
    case id::kDrop: return drop(c, result);
    case id::kIsDefined: case id::kVarType: case id::kObjectTypeGet: return query(c, kw, result);
    case id::kPtrGlobal: case id::kPtrGlobalDefine: case id::kPtrGlobalTest: return ptr_global(c, kw, result);
    case id::kPtrPersistent: return ptr_persistent(c, result);
    case id::kMakePointer: return makepointer(c, result);
    default: return fail(c, errs::kFunctionNotDefined);
  }
}

}  // namespace orv
