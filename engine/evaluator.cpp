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

bool token_in(const Context& c, std::initializer_list<int> ids) {
  if (c.tokKind != tk::kKeyword) return false;
  for (int i : ids)
    if (c.delim == i) return true;
  return false;
}

// ---- Arithmetic ----

enum class NumKind { i32, i64, f64 };

NumKind kind_of(const Value& v) {
  if (v.flags & vf::kFloat) return NumKind::f64;
  if (v.flags & vf::kInt64) return NumKind::i64;
  return NumKind::i32;
}
double as_double(const Value& v) {
  if (v.flags & vf::kFloat) return v.wide.f;
  if (v.flags & vf::kInt64) return static_cast<double>(v.wide.i64);
  return v.i;
}
std::int64_t as_int64(const Value& v) { return (v.flags & vf::kInt64) ? v.wide.i64 : v.i; }

std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

template <typename T, typename U>
T power_int(T base, T exp) {
  U result = 1, b = static_cast<U>(base);
  auto e = static_cast<std::uint64_t>(exp);
  while (e) {
    if (e & 1) result *= b;
    b *= b;
    e >>= 1;
  }
  return static_cast<T>(result);
}


bool arith_int32(Context& c, int op, std::int32_t a, std::int32_t b, Operand& out) {
  std::int64_t r = 0;
  switch (op) {
    case id::kPlus: r = std::int64_t{a} + b; break;
    case id::kMinus: r = std::int64_t{a} - b; break;
    case id::kStar: r = std::int64_t{a} * b; break;
    case id::kSlash:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = std::int64_t{a} / b;   // INT_MIN / -1 wraps instead of trapping
      break;
    case id::kMod:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = std::int64_t{a} % b;
      break;
    case id::kAmp: r = a & b; break;
    case id::kBar: r = a | b; break;
    case id::kCaret: r = a ^ b; break;
    case id::kShl: r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << (b & 31)); break;
    case id::kShr: r = a >> (b & 31); break;
    case id::kAndAnd: r = (a != 0 && b != 0); break;
    case id::kBarBar: r = (a != 0 || b != 0); break;
    case id::kPow:
      if (b < 0) return fail(c, errs::kFactBadArgument);
      r = power_int<std::int32_t, std::uint32_t>(a, b);
      break;
    default: return fail(c, errs::kBadBinaryOperand);
  }
  make_int(out, wrap32(r));
  return true;
}

bool arith_int64(Context& c, int op, std::int64_t a, std::int64_t b, Operand& out) {
  using U = std::uint64_t;
  std::int64_t r = 0;
  switch (op) {
    case id::kPlus: r = static_cast<std::int64_t>(U(a) + U(b)); break;
    case id::kMinus: r = static_cast<std::int64_t>(U(a) - U(b)); break;
    case id::kStar: r = static_cast<std::int64_t>(U(a) * U(b)); break;
    case id::kSlash:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = (b == -1) ? static_cast<std::int64_t>(0 - U(a)) : a / b;
      break;
    case id::kMod:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = (b == -1) ? 0 : a % b;
      break;
    case id::kAmp: r = a & b; break;
    case id::kBar: r = a | b; break;
    case id::kCaret: r = a ^ b; break;
    // Counts outside 0-63 shift every bit out.
    case id::kShl: r = (b < 0 || b > 63) ? 0 : static_cast<std::int64_t>(U(a) << b); break;
    case id::kShr: r = (b < 0 || b > 63) ? (a < 0 ? -1 : 0) : a >> b; break;
    case id::kAndAnd: make_int(out, a != 0 && b != 0); return true;
    case id::kBarBar: make_int(out, a != 0 || b != 0); return true;
    case id::kPow:
      if (b < 0) return fail(c, errs::kFactBadArgument);
      r = power_int<std::int64_t, std::uint64_t>(a, b);
      break;
    default: return fail(c, errs::kBadBinaryOperand);
  }
  make_int64(out, r);
  return true;
}

// ---- Comparison ----

enum class Cls { i32, i64, f64, str, wstr, bad };

Cls classify(const Value& v) {
  if (v.flags & vf::kInt) return Cls::i32;
  if (v.flags & vf::kInt64) return Cls::i64;
  if (v.flags & vf::kFloat) return Cls::f64;
  if (v.flags & vf::kWide) return Cls::wstr;
  if (v.flags & vf::kStr) return Cls::str;
  return Cls::bad;
}

int sign_of(std::int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

bool compare_result(int op, int cmp, Operand& out, Context& c) {
  bool r = false;
  switch (op) {
    case id::kEq: r = cmp == 0; break;
    case id::kNe: case id::kLtGt: r = cmp != 0; break;
    case id::kLt: r = cmp < 0; break;
    case id::kLe: r = cmp <= 0; break;
    case id::kGt: r = cmp > 0; break;
    case id::kGe: r = cmp >= 0; break;
    default: return fail(c, errs::kBadBinaryOperand);
  }
  make_int(out, r ? 1 : 0);
  return true;
}

bool compare_floats(Context& c, int op, double a, double b, Operand& out) {
  if (op == id::kEq || op == id::kNe || op == id::kLtGt) {
    auto ta = format_float(a, c.decimals), tb = format_float(b, c.decimals);
    if (!ta || !tb) return fail(c, errs::kFpNotANumber);
    return compare_result(op, *ta == *tb ? 0 : 1, out, c);
  }
  return compare_result(op, a < b ? -1 : a > b ? 1 : 0, out, c);
}

std::string text_of(Context& c, const Value& v) {
  std::string s;
  value_text(c, v, s);
  return s;
}

bool compare_texts(Context& c, int op, Value& a, Value& b, bool ignoreCase, Operand& out) {
  if ((a.flags & vf::kWide) || (b.flags & vf::kWide)) {
    if (!to_wide(c, a) || !to_wide(c, b)) return false;
    return compare_result(op, sign_of(platform::compare_utf16(wstr_view(c, a), wstr_view(c, b), ignoreCase)), out, c);
  }
  if (!to_string(c, a) || !to_string(c, b)) return false;
  return compare_result(op, sign_of(platform::compare_ansi(str_of(c, a), str_of(c, b), ignoreCase)), out, c);
}

bool compare_numbers(Context& c, int op, const Value& a, const Value& b, Operand& out) {
  NumKind ka = kind_of(a), kb = kind_of(b);
  if (ka == NumKind::f64 || kb == NumKind::f64) return compare_floats(c, op, as_double(a), as_double(b), out);
  std::int64_t x = as_int64(a), y = as_int64(b);
  return compare_result(op, x < y ? -1 : x > y ? 1 : 0, out, c);
}

// A numeric reading of a string operand for comparison: integer first, then float.
struct Reading { bool isInt = false, isFloat = false; std::int64_t i = 0; bool is64 = false; double f = 0; bool longText = false; std::string text; };

Reading read_text(Context& c, const Value& v) {
  Reading r;
  if ((v.flags & vf::kStr) && !may_start_number(str_of(c, v), nullptr)) return r;
  r.text = text_of(c, v);
  r.longText = r.text.size() > 9;
  IntText it = parse_integer_text(r.text, true);
  if (it.ok) { r.isInt = true; r.i = it.value; r.is64 = it.is64; return r; }
  // Integer texts beyond 64 bits still compare numerically on their digits.
  std::string_view t = r.text;
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  if (i < t.size() && t.find_first_not_of("0123456789", i) == std::string_view::npos) { r.isInt = true; r.longText = true; return r; }
  double f = 0;
  if (parse_float_text(r.text, f) == FloatText::ok) { r.isFloat = true; r.f = f; }
  return r;
}

}  // namespace

bool arith_float(Context& c, int op, double a, double b, Operand& out) {
  double r = 0;
  switch (op) {
    case id::kPlus: r = a + b; break;
    case id::kMinus: r = a - b; break;
    case id::kStar: r = a * b; break;
    case id::kSlash:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = a / b;
      break;
    case id::kMod:
      if (b == 0) return fail(c, errs::kDivideByZero);
      r = a - std::trunc(a / b) * b;
      break;
    case id::kPow:
      r = std::pow(a, b);
      if (std::isnan(r)) return fail(c, errs::kFpDomain);
      break;
    case id::kAndAnd: make_int(out, a != 0 && b != 0); return true;
    case id::kBarBar: make_int(out, a != 0 || b != 0); return true;
    default: return fail(c, errs::kBadBinaryOperand);
  }
  if (std::isnan(r)) return fail(c, errs::kFpNotANumber);
  if (std::fabs(r) > 1e300) return fail(c, errs::kFpOverflow);
  if (std::fabs(r) < 1e-300) r = 0.0;
  make_float(out, r);
  return true;
}

int compare_integer_texts(std::string_view a, std::string_view b) {
  auto norm = [](std::string_view t, bool& neg) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    while (i + 1 < t.size() && t[i] == '0') ++i;
    std::string_view digits = t.substr(i);
    if (digits == "0") neg = false;
    return digits;
  };
  bool na = false, nb = false;
  std::string_view da = norm(a, na), db = norm(b, nb);
  if (na != nb) return na ? -1 : 1;
  int r = da.size() != db.size() ? (da.size() < db.size() ? -1 : 1) : sign_of(da.compare(db));
  return na ? -r : r;
}

bool combine_arithmetic(Context& c, int op, Operand& left, Operand& right) {
  if (!to_numeric(c, left, true) || !to_numeric(c, right, true)) return false;
  Operand out;
  clear_operand(out);
  NumKind ka = kind_of(left), kb = kind_of(right);
  bool ok;
  if (ka == NumKind::f64 || kb == NumKind::f64) ok = arith_float(c, op, as_double(left), as_double(right), out);
  else if (ka == NumKind::i64 || kb == NumKind::i64) ok = arith_int64(c, op, as_int64(left), as_int64(right), out);
  else ok = arith_int32(c, op, left.i, right.i, out);
  if (!ok) return false;
  release_value(c, left);
  static_cast<Value&>(left) = out;
  drop_origin(left);
  return true;
}

bool combine_comparison(Context& c, int op, Operand& left, Operand& right, bool ignoreCase) {
  Operand out;
  clear_operand(out);
  Cls a = classify(left), b = classify(right);
  if (a == Cls::bad || b == Cls::bad) return fail(c, errs::kNotConvertibleToNumber);
  bool ok;
  auto isNum = [](Cls k) { return k == Cls::i32 || k == Cls::i64 || k == Cls::f64; };
  if (isNum(a) && isNum(b)) {
    ok = compare_numbers(c, op, left, right, out);
  } else if (isNum(a) != isNum(b)) {
    Value& s = isNum(a) ? right : left;
    Value& n = isNum(a) ? left : right;
    Reading r = read_text(c, s);
    if (r.isInt && !r.longText) {
      Value tmp{};
      if (r.is64) make_int64(tmp, r.i); else make_int(tmp, static_cast<std::int32_t>(r.i));
      ok = isNum(a) ? compare_numbers(c, op, n, tmp, out) : compare_numbers(c, op, tmp, n, out);
    } else if (r.isFloat) {
      ok = isNum(a) ? compare_floats(c, op, as_double(n), r.f, out) : compare_floats(c, op, r.f, as_double(n), out);
    } else {
      ok = compare_texts(c, op, left, right, ignoreCase, out);
    }
  } else {
    Reading l = read_text(c, left);
    // Two texts compare as numbers only when both read as numbers (an 8-bit
    // text need not be read when the first is none).
    Reading r = (l.isInt || l.isFloat || !(right.flags & vf::kStr)) ? read_text(c, right) : Reading{};
    if (l.isInt && r.isInt) {
      if (l.longText || r.longText) ok = compare_result(op, compare_integer_texts(l.text, r.text), out, c);
      else ok = compare_result(op, l.i < r.i ? -1 : l.i > r.i ? 1 : 0, out, c);
    } else if ((l.isInt || l.isFloat) && r.isFloat) {
      double lf = l.isInt ? static_cast<double>(l.i) : l.f;
      ok = compare_floats(c, op, lf, r.f, out);
    } else if (l.isFloat && r.isInt && !r.longText) {
      ok = compare_floats(c, op, l.f, static_cast<double>(r.i), out);
    } else {
      ok = compare_texts(c, op, left, right, ignoreCase, out);
    }
  }
  if (!ok) return false;
  release_value(c, left);
  static_cast<Value&>(left) = out;
  drop_origin(left);
  return true;
}

bool combine_concat(Context& c, Operand& left, Operand& right) {
  Operand out;
  clear_operand(out);
  if ((left.flags & (vf::kWide | vf::kCom)) || (right.flags & (vf::kWide | vf::kCom))) {
    if (!to_wide(c, left) || !to_wide(c, right)) return false;
    const std::u16string_view a = wstr_view(c, left), b = wstr_view(c, right);
    if (!string_room<char16_t>(c, std::uint64_t{a.size()} + b.size())) return false;
    std::u16string joined(a);
    joined += b;
    if (!make_wstring(c, out, joined)) return false;
  } else {
    std::string a, b;
    if (!value_text(c, left, a) || !value_text(c, right, b)) {
      if (c.error != errs::kFpNotANumber) { c.error = 0; fail(c, errs::kNotConvertibleToString); }
      return false;
    }
    if (!string_room<char>(c, std::uint64_t{a.size()} + b.size())) return false;
    a += b;
    if (!make_string(c, out, a)) return false;
  }
  release_value(c, left);
  static_cast<Value&>(left) = out;
  drop_origin(left);
  return true;
}

bool compound_value(Context& c, int assignOp, const Value& current, Operand& value) {
  Temp combined(c);
  if (!copy_value(c, current, combined.op())) return false;
  const int op = compound_operator(assignOp);
  const bool ok = op == id::kColon ? combine_concat(c, combined.op(), value)
                                   : combine_arithmetic(c, op, combined.op(), value);
  if (!ok) return false;
  release_value(c, value);
  combined.move_to(value);
  return true;
}

bool condition_value(Context& c, Operand& v, bool& truth) {
  if (!to_numeric(c, v, true)) return false;
  if (v.flags & vf::kFloat) {
    std::int32_t i = 0;
    truth = float_to_int32(v.wide.f, i) ? i != 0 : true;
  } else if (v.flags & vf::kInt) {
    truth = v.i != 0;
  } else {
    truth = static_cast<std::int32_t>(static_cast<std::uint32_t>(v.wide.i64)) != 0;
  }
  return true;
}

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
  if (is_keyword(c, id::kComma)) return fail(c, map_error::kOneKey);
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

bool apply_unary(Context& c, int op, Operand& v) {
  if (!to_numeric(c, v, true)) return false;
  NumKind k = kind_of(v);
  Operand out;
  clear_operand(out);
  switch (op) {
    case id::kNot:
      if (k == NumKind::i64) make_int64(out, v.wide.i64 == 0);
      else make_int(out, k == NumKind::f64 ? v.wide.f == 0 : v.i == 0);
      break;
    case id::kPlus:
      if (k == NumKind::i64) make_int64(out, v.wide.i64);
      else if (k == NumKind::f64) make_float(out, v.wide.f);
      else make_int(out, v.i);
      break;
    case id::kMinus:
      if (k == NumKind::i64) make_int64(out, static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(v.wide.i64)));
      else if (k == NumKind::f64) make_float(out, -v.wide.f);
      else make_int(out, wrap32(-std::int64_t{v.i}));
      break;
    case id::kTilde:
      if (k == NumKind::f64) return fail(c, errs::kBadUnaryOperand);
      if (k == NumKind::i64) make_int64(out, ~v.wide.i64);
      else make_int(out, ~v.i);
      break;
    default: return fail(c, errs::kBadUnaryOperand);
  }
  release_value(c, v);
  static_cast<Value&>(v) = out;
  drop_origin(v);
  return true;
}

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
    if (op == id::kNot || op == id::kPlus || op == id::kMinus || op == id::kTilde) {
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
  while (is_keyword(c, id::kPow)) {
    get_token(c);
    Temp right(c);
    if (!unary_level(c, right.op())) return false;
    if (!combine_arithmetic(c, id::kPow, out, right.op())) return false;
  }
  return true;
}

template <LevelFn Next>
bool binary_level(Context& c, Operand& out, std::initializer_list<int> ops) {
  if (!Next(c, out)) return false;
  while (token_in(c, ops)) {
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!Next(c, right.op())) return false;
    if (!combine_arithmetic(c, op, out, right.op())) return false;
  }
  return true;
}

bool mul_level(Context& c, Operand& out) { return binary_level<pow_level>(c, out, {id::kStar, id::kSlash, id::kMod}); }
bool add_level(Context& c, Operand& out) { return binary_level<mul_level>(c, out, {id::kPlus, id::kMinus}); }
bool shift_level(Context& c, Operand& out) { return binary_level<add_level>(c, out, {id::kShl, id::kShr}); }

bool concat_level(Context& c, Operand& out) {
  if (!shift_level(c, out)) return false;
  while (is_keyword(c, id::kColon)) {
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
    if (!token_in(c, {id::kEq, id::kNe, id::kLtGt, id::kGt, id::kGe, id::kLt, id::kLe})) return true;
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!concat_level(c, right.op())) return false;
    if (!combine_comparison(c, op, out, right.op(), false)) return false;
  }
}

bool bitwise_level(Context& c, Operand& out) {
  if (!compare_level(c, out)) return false;
  while (token_in(c, {id::kCaret, id::kAmp, id::kBar}) && !(c.delim == id::kAmp && c.lastAmpIsPointer)) {
    const int op = c.delim;
    get_token(c);
    Temp right(c);
    if (!compare_level(c, right.op())) return false;
    if (!combine_arithmetic(c, op, out, right.op())) return false;
  }
  return true;
}

bool level1(Context& c, Operand& out) { return binary_level<bitwise_level>(c, out, {id::kAndAnd, id::kBarBar}); }

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
