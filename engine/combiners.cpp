// The arithmetic, comparison and joining rules of the operators, apart from
// the grammar that reads them: the evaluator, the compiled path, the
// statements and the built-ins all combine values here.
#include "engine/combiners.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/assign_ops.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/float_rules.h"
#include "engine/keywords.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"

namespace orv {
namespace {

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
  return compare_ansi_texts(c, op, str_view(c, a), str_view(c, b), ignoreCase, out);
}

}  // namespace

bool compare_ansi_texts(Context& c, int op, std::string_view a, std::string_view b, bool ignoreCase, Operand& out) {
  return compare_result(op, sign_of(platform::compare_ansi(a, b, ignoreCase)), out, c);
}

namespace {

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
  const FloatOutcome r = float_rule(op, a, b);
  if (r.error != 0) return fail(c, r.error);
  if (r.whole) make_int(out, r.value != 0);
  else make_float(out, r.value);
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

}  // namespace orv
