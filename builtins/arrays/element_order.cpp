#include "builtins/arrays/element_order.h"

#include "builtins/arrays/logical_compare.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/value_ops.h"
#include "platform/platform.h"

namespace orv::arrays {
namespace {

int sign_of(std::int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }
int compare_doubles(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }
int compare_ints(std::int64_t a, std::int64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

// The numeric reading of a string operand: integer first, then float.
void read_text(OrderKey& k) {
  k.longText = k.text.size() > 9;
  IntText it = parse_integer_text(k.text, true);
  if (it.ok) {
    k.textInt = true;
    k.ti = it.value;
    return;
  }
  std::string_view t = k.text;
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  if (i < t.size() && t.find_first_not_of("0123456789", i) == std::string_view::npos) {
    k.textInt = true;
    k.longText = true;
    return;
  }
  double f = 0;
  if (parse_float_text(k.text, f) == FloatText::ok) {
    k.textFloat = true;
    k.tf = f;
  }
}

int compare_texts(const OrderKey& a, const OrderKey& b, bool ignoreCase) {
  if (a.hasWide || b.hasWide) return sign_of(platform::compare_utf16(a.wide, b.wide, ignoreCase));
  return sign_of(platform::compare_ansi(a.text, b.text, ignoreCase));
}

int compare_numbers(const OrderKey& a, const OrderKey& b) {
  if (a.isFloat || b.isFloat) {
    const double x = a.isFloat ? a.f : static_cast<double>(a.i);
    const double y = b.isFloat ? b.f : static_cast<double>(b.i);
    return compare_doubles(x, y);
  }
  return compare_ints(a.i, b.i);
}

// A number against a string: numerically when the string reads as a short
// integer or a float, else as texts.
int compare_mixed(const OrderKey& num, const OrderKey& str, bool ignoreCase, bool numFirst) {
  int r;
  if (str.textInt && !str.longText) {
    OrderKey tmp;
    tmp.i = str.ti;
    r = numFirst ? compare_numbers(num, tmp) : compare_numbers(tmp, num);
  } else if (str.textFloat) {
    const double n = num.isFloat ? num.f : static_cast<double>(num.i);
    r = numFirst ? compare_doubles(n, str.tf) : compare_doubles(str.tf, n);
  } else {
    r = numFirst ? compare_texts(num, str, ignoreCase) : compare_texts(str, num, ignoreCase);
  }
  return r;
}

int compare_strings(const OrderKey& l, const OrderKey& r, bool ignoreCase) {
  if (l.textInt && r.textInt) {
    if (l.longText || r.longText) return compare_integer_texts(l.text, r.text);
    return compare_ints(l.ti, r.ti);
  }
  if ((l.textInt || l.textFloat) && r.textFloat)
    return compare_doubles(l.textInt ? static_cast<double>(l.ti) : l.tf, r.tf);
  if (l.textFloat && r.textInt && !r.longText) return compare_doubles(l.tf, static_cast<double>(r.ti));
  return compare_texts(l, r, ignoreCase);
}

}  // namespace

bool make_key(Context& c, const Value& v, Order order, OrderKey& key, bool numberText) {
  key = OrderKey{};
  key.hasWide = (v.flags & vf::kWide) != 0;
  if (order != Order::natural) {
    if (v.flags & vf::kWide) {
      key.wide = wstr_view(c, v);
      return true;
    }
    std::string text;
    if (!value_text(c, v, text)) return false;
    if (!platform::ansi_to_utf16(text, key.wide)) return fail(c, errs::kNotConvertibleToUnicode);
    return true;
  }
  if (v.flags & (vf::kInt | vf::kInt64 | vf::kFloat)) {
    key.kind = OrderKey::Kind::number;
    key.isFloat = (v.flags & vf::kFloat) != 0;
    key.f = key.isFloat ? v.wide.f : 0.0;
    key.i = (v.flags & vf::kInt64) ? v.wide.i64 : v.i;
  } else if (v.flags & (vf::kStr | vf::kWide)) {
    key.kind = OrderKey::Kind::text;
  } else {
    return fail(c, errs::kNotConvertibleToNumber);
  }
  if (key.kind == OrderKey::Kind::number && !numberText) return true;
  if (!value_text(c, v, key.text)) return false;
  if (key.kind == OrderKey::Kind::text) read_text(key);
  if (key.hasWide) key.wide = wstr_view(c, v);
  return true;
}

bool add_number_text(Context& c, const Value& v, OrderKey& key) {
  return key.kind != OrderKey::Kind::number || !key.text.empty() || value_text(c, v, key.text);
}

bool add_wide(OrderKey& key) {
  if (key.hasWide) return true;
  return platform::ansi_to_utf16(key.text, key.wide);
}

int compare_keys(const OrderKey& a, const OrderKey& b, Order order, bool ignoreCase) {
  switch (order) {
    case Order::logical: return logical_compare(a.wide, b.wide);
    case Order::ordinal: {
      const int r = a.wide.compare(b.wide);
      return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    case Order::natural: break;
  }
  const bool na = a.kind == OrderKey::Kind::number, nb = b.kind == OrderKey::Kind::number;
  if (na && nb) return compare_numbers(a, b);
  if (na) return compare_mixed(a, b, ignoreCase, true);
  if (nb) return compare_mixed(b, a, ignoreCase, false);
  return compare_strings(a, b, ignoreCase);
}

}  // namespace orv::arrays
