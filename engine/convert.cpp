#include "engine/convert.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/error_numbers.h"
#include "engine/object_members.h"
#include "engine/value_ops.h"
#include "platform/codepage.h"

namespace orv {
namespace {
constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Exponents are written with at least three digits on every platform.
std::string widen_exponent(std::string s) {
  std::size_t e = s.find_first_of("eE");
  if (e == std::string::npos || e + 2 > s.size()) return s;
  std::size_t digits = s.size() - (e + 2);
  if (digits < 3) s.insert(e + 2, 3 - digits, '0');
  return s;
}

std::string printf_text(const char* format, int precision, double x) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format, precision, x);
  return widen_exponent(buf);
}

double round_half_away(double f) { return f < 0 ? -std::floor(-f + 0.5) : std::floor(f + 0.5); }
}  // namespace

std::string int_to_text(std::int64_t value, int radix) {
  if (radix < 2 || radix > 36) radix = 10;
  if (value == INT64_MIN && radix == 10) return "-9223372036854775808";
  bool negative = value < 0;
  std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char buf[72];
  int pos = 71;
  buf[pos] = '\0';
  do {
    buf[--pos] = kDigits[u % static_cast<unsigned>(radix)];
    u /= static_cast<unsigned>(radix);
  } while (u);
  if (negative) buf[--pos] = '-';
  return &buf[pos];
}

std::int64_t text_to_integer(std::string_view text, int radix) {
  if (radix < 2 || radix > 36) return -1;
  std::uint64_t value = 0;
  for (char ch : text) {
    int d = -1;
    if (ch >= '0' && ch <= '9') d = ch - '0';
    else if (ch >= 'a' && ch <= 'z') d = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'Z') d = ch - 'A' + 10;
    if (d < 0 || d >= radix) return -2;
    value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
  }
  return static_cast<std::int64_t>(value);
}

std::optional<std::string> format_float(double x, std::int32_t d) {
  if (std::isnan(x)) return std::nullopt;
  if (d == -1 && x == 0) return std::string("0.0");
  if (d == 0 && std::fabs(x) <= 2147483647.0) {
    return std::to_string(static_cast<long>(round_half_away(x)));
  }
  if (d == -2 || d == -3) {
    char buf[512];
    std::snprintf(buf, sizeof buf, d == -2 ? "%g" : "%e", x);
    std::string s = widen_exponent(buf);
    if (!s.empty() && s[0] == '.') s.insert(0, "0");
    return s;
  }
  int precision = 8, minDecimals = 1;
  if (d >= 0) precision = minDecimals = d;
  if (precision > 300) precision = minDecimals = 300;
  bool expForm = std::fabs(x) > 999999999.0 || (std::fabs(x) < 0.0001 && d == -1);
  std::string s = printf_text(expForm ? "%#1.*e" : "%#1.*f", precision, x);
  std::size_t dot = s.find('.');
  bool hadDot = dot != std::string::npos;
  if (!hadDot) s += ".0";
  if (!expForm && (d < 0 || !hadDot)) {
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  }
  if (!expForm) {
    dot = s.find('.');
    int have = static_cast<int>(s.size() - dot - 1);
    for (; have < minDecimals; ++have) s += '0';
  }
  return s;
}

IntText parse_integer_text(std::string_view t, bool allow64) {
  IntText r;
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  std::size_t signStart = i;
  while (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digitsStart = i;
  if (i == t.size()) return r;
  for (std::size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return r;
  // A second sign character makes the value 0, as the reading stops there.
  bool negative = false;
  if (digitsStart - signStart > 1) { r.ok = true; return r; }
  if (digitsStart - signStart == 1) negative = t[signStart] == '-';
  std::uint64_t mag = 0;
  bool overflow = false;
  for (std::size_t k = digitsStart; k < t.size(); ++k) {
    unsigned dgt = static_cast<unsigned>(t[k] - '0');
    if (mag > (UINT64_MAX - dgt) / 10) { overflow = true; break; }
    mag = mag * 10 + dgt;
  }
  const std::uint64_t limit64 = negative ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 63) - 1;
  if (overflow || mag > limit64) return r;   // leaves it to the float reading
  std::int64_t value = negative ? static_cast<std::int64_t>(0 - mag) : static_cast<std::int64_t>(mag);
  if (value < INT32_MIN || value > INT32_MAX) {
    if (!allow64) return r;
    r.is64 = true;
  }
  r.ok = true;
  r.value = value;
  return r;
}

FloatText parse_float_text(std::string_view text, double& out) {
  if (!may_start_number(text.data(), text.data() + text.size())) return FloatText::not_float;
  // Hex floats, infinities, NaN and D exponents are not numbers of this language.
  for (char ch : text)
    switch (ch) {
      case 'd': case 'D': case 'x': case 'X': case 'n': case 'N': return FloatText::not_float;
      default: break;
    }
  std::string buf(text);
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(buf.c_str(), &end);
  if (end == buf.c_str() || *end != '\0') return FloatText::not_float;
  if (errno == ERANGE && v != 0) return FloatText::too_large;
  out = v;
  return FloatText::ok;
}

bool float_to_int32(double f, std::int32_t& out) {
  if (!(f >= -2147483645.0 && f <= 2147483645.0)) return false;
  out = static_cast<std::int32_t>(round_half_away(f));
  return true;
}

bool float_to_int64(double f, std::int64_t& out) {
  if (!(f >= -9223372036854775808.0 && f < 9223372036854775808.0)) return false;
  out = static_cast<std::int64_t>(round_half_away(f));
  return true;
}

bool value_text(Context& c, const Value& v, std::string& out) {
  if (v.flags & vf::kStr) { out = str_view(c, v); return true; }
  if (v.flags & vf::kComObject) return object_default_text(c, v, out);
  if (v.flags & vf::kWide) {
    if (!platform::utf16_to_codepage(wstr_view(c, v), c.conversionCodePage, out)) return fail(c, errs::kNotConvertibleToString);
    return true;
  }
  if (v.flags & vf::kInt) { out = int_to_text(v.i); return true; }
  if (v.flags & vf::kInt64) { out = int_to_text(v.wide.i64); return true; }
  if (v.flags & vf::kFloat) {
    auto s = format_float(v.wide.f, c.decimals);
    if (!s) return fail(c, errs::kFpNotANumber);
    out = std::move(*s);
    return true;
  }
  if (v.flags & vf::kArray) { out = "<array>"; return true; }
  return fail(c, errs::kNotConvertibleToString);
}

bool text_form(Context& c, const Value& v, std::string& scratch, std::string_view& out) {
  if (v.flags & vf::kStr) {
    out = str_view(c, v);
    return true;
  }
  if (v.flags & vf::kArray) return fail(c, errs::kNotConvertibleToString);
  if (!value_text(c, v, scratch)) return false;
  out = scratch;
  return true;
}

bool to_string(Context& c, Value& v) {
  if (v.flags & vf::kStr) return true;
  std::string text;
  std::string_view form;
  if (!text_form(c, v, text, form)) return false;
  std::uint32_t h = heap_string(c, form);
  if (!h) return false;
  v.str = h;
  v.flags |= vf::kStr;
  return true;
}

bool wide_form(Context& c, const Value& v, std::u16string& scratch, std::u16string_view& out) {
  if (v.flags & vf::kWide) {
    out = wstr_view(c, v);
    return true;
  }
  if (v.flags & vf::kArray) return fail(c, errs::kNotConvertibleToUnicode);
  std::string text;
  if (!value_text(c, v, text)) {
    if (v.flags & vf::kComObject) return false;   // the object's own failure tells more
    c.error = 0;
    return fail(c, errs::kNotConvertibleToUnicode);
  }
  if (!platform::codepage_to_utf16(text, c.conversionCodePage, scratch)) return fail(c, errs::kNotConvertibleToUnicode);
  out = scratch;
  return true;
}

bool to_wide(Context& c, Value& v) {
  if (v.flags & vf::kWide) return true;
  std::u16string wide;
  std::u16string_view form;
  if (!wide_form(c, v, wide, form)) return false;
  std::uint32_t h = heap_wstring(c, form);
  if (!h) return false;
  v.wstr = h;
  v.flags |= vf::kWide;
  return true;
}

bool to_numeric(Context& c, Value& v, bool allow64) {
  if (v.flags & (vf::kInt | vf::kFloat)) return true;
  if (v.flags & vf::kInt64) return true;
  std::string text;
  if (v.flags & vf::kStr) text = str_view(c, v);
  else if (v.flags & vf::kWide) {
    if (!platform::utf16_to_ansi(wstr_view(c, v), text)) return fail(c, errs::kNotConvertibleToNumber);
  } else {
    return fail(c, errs::kNotConvertibleToNumber);
  }
  IntText it = parse_integer_text(text, allow64);
  if (it.ok) {
    if (it.is64) { v.wide.i64 = it.value; v.flags |= vf::kInt64; }
    else { v.i = static_cast<std::int32_t>(it.value); v.flags |= vf::kInt; }
    return true;
  }
  double f = 0;
  switch (parse_float_text(text, f)) {
    case FloatText::ok: v.wide.f = f; v.flags |= vf::kFloat; return true;
    case FloatText::too_large: return fail(c, errs::kFpOverflow);
    default: return fail(c, errs::kNotConvertibleToNumber);
  }
}

bool to_float(Context& c, Value& v) {
  if (v.flags & vf::kFloat) return true;
  if (!to_numeric(c, v, true)) { if (c.error == errs::kNotConvertibleToNumber) { c.error = 0; return fail(c, errs::kNotConvertibleToFloat); } return false; }
  if (v.flags & vf::kFloat) return true;
  v.wide.f = (v.flags & vf::kInt) ? static_cast<double>(v.i) : static_cast<double>(v.wide.i64);
  v.flags = (v.flags & ~(vf::kInt | vf::kInt64)) | vf::kFloat;
  return true;
}

bool to_int32(Context& c, Value& v) {
  if (v.flags & vf::kInt) return true;
  if (!to_numeric(c, v, true)) return false;
  if (v.flags & vf::kInt) return true;
  if (v.flags & vf::kInt64) {
    v.i = static_cast<std::int32_t>(static_cast<std::uint32_t>(v.wide.i64));
  } else {
    std::int32_t out = 0;
    if (!float_to_int32(v.wide.f, out)) return fail(c, errs::kNotConvertibleToNumber);
    v.i = out;
  }
  v.flags = (v.flags & ~(vf::kFloat | vf::kInt64)) | vf::kInt;
  return true;
}

}  // namespace orv
