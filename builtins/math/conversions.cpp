// Int64 and the number tests IsNumber, IsInt, IsFloat.
#include <cstdint>
#include <string>

#include "builtins/math/math_groups.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::math {
namespace {

// The argument arrives as a 32-bit or a 64-bit integer (type code 9).
void int64_handler(Call& call) {
  const Operand& a = call.args[1];
  make_int64(call.result, (a.flags & vf::kInt) ? std::int64_t{a.i} : a.wide.i64);
}

enum class NumberKind { none, integer, floating };

// Numbers by their kind; strings by whether their text reads as an integer
// or else as a float. COM values and arrays are not numbers.
NumberKind number_kind(Context& c, const Value& v) {
  if (v.flags & (vf::kCom | vf::kArray)) return NumberKind::none;
  if (v.flags & (vf::kInt | vf::kInt64)) return NumberKind::integer;
  if (v.flags & vf::kFloat) return NumberKind::floating;
  std::string text;
  if (v.flags & vf::kStr) text = str_of(c, v);
  else if (v.flags & vf::kWide) {
    if (!platform::utf16_to_ansi(wstr_view(c, v), text)) return NumberKind::none;
  } else {
    return NumberKind::none;
  }
  if (parse_integer_text(text, true).ok) return NumberKind::integer;
  double f = 0;
  return parse_float_text(text, f) == FloatText::ok ? NumberKind::floating : NumberKind::none;
}

template <bool AcceptInteger, bool AcceptFloat>
void is_kind_handler(Call& call) {
  const NumberKind k = number_kind(call.c, call.args[1]);
  make_int(call.result, (AcceptInteger && k == NumberKind::integer) || (AcceptFloat && k == NumberKind::floating));
}

}  // namespace

void register_conversions(HandlerTable& t) {
  t.add(kw::fn_int64, int64_handler);
  t.add(kw::fn_isnumber, is_kind_handler<true, true>);
  t.add(kw::fn_isint, is_kind_handler<true, false>);
  t.add(kw::fn_isfloat, is_kind_handler<false, true>);
}

}  // namespace orv::math
