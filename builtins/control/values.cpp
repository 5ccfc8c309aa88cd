// ParseData, DataCast and DropWild: words into parameters, values from one
// kind into another, and variables dropped by a name pattern.
#include <bit>
#include <cmath>
#include <optional>

#include "builtins/families.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "platform/wildcard.h"
#include "engine/convert.h"
#include "engine/keyword_ids.h"
#include "engine/runloop.h"
#include "engine/value_ops.h"
#include "engine/variables.h"

namespace orv {
namespace {

void parse_data(Call& call) {
  const std::int32_t count = call.wide ? parse_parameters(call.c, strings::arg_text<char16_t>(call, 1))
                                       : parse_parameters(call.c, strings::arg_text<char>(call, 1));
  if (count >= 0) make_int(call.result, count);
}

// The kinds of DataCast.
enum CastKind : std::int32_t {
  kToInteger = 0,      // 32-bit integer
  kToInteger64 = 1,    // 64-bit integer
  kToFloat = 2,
  kToText = 3,
  kFloatBits = 4,      // the 64 bits of a float, as a 64-bit integer
  kBitsToFloat = 5,    // a 64-bit integer's bits, as a float
};

// A number read from any value (a text must read as one); nothing fails loudly here.
bool numeric(Context& c, Value& v) {
  if (v.flags & (vf::kArray | vf::kCom | vf::kFile)) return false;
  if (!to_numeric(c, v, true)) {
    c.error = 0;
    c.errorText.clear();
    return false;
  }
  return true;
}

// The value record is packed: its 64-bit fields are read by copy.
std::optional<std::int64_t> as_int64(Context& c, Value& v) {
  if (!numeric(c, v)) return std::nullopt;
  const std::int32_t i = v.i;
  const std::int64_t i64 = v.wide.i64;
  const double f = v.wide.f;
  std::int64_t out = 0;
  if (v.flags & vf::kInt) return std::int64_t{i};
  if (v.flags & vf::kInt64) return i64;
  if ((v.flags & vf::kFloat) && float_to_int64(f, out)) return out;
  return std::nullopt;
}

std::optional<double> as_float(Context& c, Value& v) {
  if (!numeric(c, v)) return std::nullopt;
  const std::int32_t i = v.i;
  const std::int64_t i64 = v.wide.i64;
  const double f = v.wide.f;
  if (v.flags & vf::kInt) return static_cast<double>(i);
  if (v.flags & vf::kInt64) return static_cast<double>(i64);
  if (v.flags & vf::kFloat) return f;
  return std::nullopt;
}

bool cast(Call& call) {
  Context& c = call.c;
  Value& v = call.args[1];
  switch (call.args[2].i) {
    case kToInteger: {
      const auto n = as_int64(c, v);
      if (!n || *n < INT32_MIN || *n > INT32_MAX) return false;
      make_int(call.result, static_cast<std::int32_t>(*n));
      return true;
    }
    case kToInteger64: {
      const auto n = as_int64(c, v);
      if (!n) return false;
      make_int64(call.result, *n);
      return true;
    }
    case kToFloat: {
      const auto f = as_float(c, v);
      if (!f) return false;
      make_float(call.result, *f);
      return true;
    }
    case kToText: {
      if (v.flags & vf::kArray) return false;
      std::string text;
      if (v.flags & vf::kWide) make_wstring(c, call.result, wstr_view(c, v));   // keeps its width
      else if (!value_text(c, v, text)) { c.error = 0; c.errorText.clear(); return false; }
      else make_string(c, call.result, text);
      return true;   // 3096 stands when the heap is full
    }
    case kFloatBits: {
      const auto f = as_float(c, v);
      if (!f) return false;
      make_int64(call.result, std::bit_cast<std::int64_t>(*f));
      return true;
    }
    case kBitsToFloat: {
      if (!numeric(c, v) || (v.flags & vf::kFloat)) return false;
      const std::int64_t wideBits = v.wide.i64;
      const std::int64_t bits = (v.flags & vf::kInt64) ? wideBits : std::int64_t{v.i};
      const double f = std::bit_cast<double>(bits);
      if (!std::isfinite(f)) return false;   // no value of the language holds these
      make_float(call.result, f);
      return true;
    }
    default:
      fail(c, errs::kDataCastBadKind);
      return true;
  }
}

void data_cast(Call& call) {
  if (!cast(call) && !failed(call.c)) fail(call.c, errs::kDataCastNoReading);
}

// Whether the slot is an assignment target of this frame that a running
// statement or a caller's statement will still write to.
bool is_pending_target(const Context& c, std::uint16_t slot) {
  if (c.assignFrame == c.level && c.assignSlot == slot) return true;
  for (const auto& t : c.boundTargets)
    if (t.frame == c.level && t.slot == slot) return true;
  return false;
}

// Names are stored lower-case; "?" starts the interpreter's own names.
void drop_wild(Call& call) {
  Context& c = call.c;
  const std::string pattern = lower_name(strings::arg_text<char>(call, 1));
  std::int32_t dropped = 0;
  if (!pattern.empty()) {
    for (std::uint16_t slot = c.hwm; slot-- > 1;) {
      const VarSlot& s = c.slots[slot];
      const std::string_view name(s.name);
      if (s.v.flags == 0 || name.empty() || name.front() == '?' || is_pending_target(c, slot)) continue;
      if (!strings::wild::matches<char>(name, pattern)) continue;
      drop_slot(c, slot);
      ++dropped;
    }
  }
  make_int(call.result, dropped);
}

}  // namespace

void register_value_functions(HandlerTable& t) {
  t.add(kw::fn_parsedata, parse_data);
  t.add(kw::fn_datacast, data_cast);
  t.add(kw::fn_dropwild, drop_wild);
}

}  // namespace orv
