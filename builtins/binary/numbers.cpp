// BinaryPeek/Poke/Incr of 1, 2, 4 and 8 bytes and of doubles: little-endian
// numbers at a byte offset. Reads raise EOD too, so that a peeked value
// counts as data.
#include <cstring>
#include <string>

#include "builtins/binary/binary_args.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "platform/platform.h"

namespace orv::binary {
namespace {

// The buffer and offset of a number of `width` bytes; EOD is not touched.
BinaryBuffer* number_site(Call& call, int width, std::int32_t& offset) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return nullptr;
  offset = arg_int(call, 2);
  if (!check_offset(call, offset)) return nullptr;
  if (static_cast<std::int64_t>(offset) + width > b->size) { fail(call.c, errs::kPeekOffsetBeyondEnd); return nullptr; }
  return b;
}

std::uint64_t load(const std::uint8_t* p, int width) {
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void store(std::uint8_t* p, int width, std::uint64_t v) {
  for (int i = 0; i < width; ++i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

// Widths 1 and 2 read unsigned, width 4 signed.
std::int64_t read_int(const std::uint8_t* p, int width) {
  const std::uint64_t v = load(p, width);
  return width == 4 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(v)) : static_cast<std::int64_t>(v);
}

template <int Width>
void peek(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, Width, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + Width);
  make_int(call.result, static_cast<std::int32_t>(read_int(b->data + o, Width)));
}

template <int Width>
void poke(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, Width, o);
  if (!b) return;
  const std::int64_t value = arg_int(call, 3);
  if (!poke_fits(value, Width)) { fail(call.c, errs::kPokeValueOutOfRange); return; }
  b->raise_eod(static_cast<std::int64_t>(o) + Width);
  make_int(call.result, static_cast<std::int32_t>(read_int(b->data + o, Width)));
  store(b->data + o, Width, static_cast<std::uint64_t>(value));
}

template <int Width>
void incr(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, Width, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + Width);
  const std::int64_t next = read_int(b->data + o, Width) + 1;
  store(b->data + o, Width, static_cast<std::uint64_t>(next));
  if (next > INT32_MAX) make_int64(call.result, next);
  else make_int(call.result, static_cast<std::int32_t>(next));
}

// A 64-bit value as scripts see it: an integer when it fits 0..2^31-1, else
// its signed decimal text.
void set_int64_result(Call& call, std::int64_t v) {
  if (v >= 0 && v <= INT32_MAX) make_int(call.result, static_cast<std::int32_t>(v));
  else set_string(call, int_to_text(v));
}

void peek8(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, 8, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + 8);
  set_int64_result(call, static_cast<std::int64_t>(load(b->data + o, 8)));
}

void poke8(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, 8, o);
  std::int64_t value = 0;
  if (!b || !poke8_value(call.c, call.args[3], value)) return;
  b->raise_eod(static_cast<std::int64_t>(o) + 8);
  set_int64_result(call, static_cast<std::int64_t>(load(b->data + o, 8)));
  store(b->data + o, 8, static_cast<std::uint64_t>(value));
}

double load_double(const std::uint8_t* p) {
  double d = 0;
  std::memcpy(&d, p, sizeof d);
  return d;
}

void peek_flt(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, 8, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + 8);
  make_float(call.result, load_double(b->data + o));
}

void poke_flt(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, 8, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + 8);
  make_float(call.result, load_double(b->data + o));
  const double v = call.args[3].wide.f;
  std::memcpy(b->data + o, &v, sizeof v);
}

void incr_flt(Call& call) {
  std::int32_t o = 0;
  BinaryBuffer* b = number_site(call, 8, o);
  if (!b) return;
  b->raise_eod(static_cast<std::int64_t>(o) + 8);
  const double v = load_double(b->data + o) + 1.0;
  std::memcpy(b->data + o, &v, sizeof v);
  make_float(call.result, v);
}

}  // namespace

bool poke8_value(Context& c, const Value& v, std::int64_t& out) {
  if (v.flags & vf::kInt64) { out = v.wide.i64; return true; }
  if (v.flags & vf::kInt) { out = v.i; return true; }
  if (v.flags & vf::kFloat) return float_to_int64(v.wide.f, out) || fail(c, errs::kBadValue);
  // Decimal text in either width: a 64-bit value often arrives as text.
  std::string text;
  if (v.flags & vf::kStr) text = str_of(c, v);
  else if (!(v.flags & vf::kWide) || !platform::utf16_to_ansi(wstr_view(c, v), text)) return fail(c, errs::kBadValue);
  const IntText t = parse_integer_text(text, true);
  if (!t.ok) return fail(c, errs::kBadValue);
  out = t.value;
  return true;
}

void register_numbers(HandlerTable& t) {
  t.add(kw::fn_binarypeek, peek<1>);
  t.add(kw::fn_binarypeek2, peek<2>);
  t.add(kw::fn_binarypeek4, peek<4>);
  t.add(kw::fn_binarypoke, poke<1>);
  t.add(kw::fn_binarypoke2, poke<2>);
  t.add(kw::fn_binarypoke4, poke<4>);
  t.add(kw::fn_binaryincr, incr<1>);
  t.add(kw::fn_binaryincr2, incr<2>);
  t.add(kw::fn_binaryincr4, incr<4>);
  t.add(kw::fn_binarypeek8, peek8);
  t.add(kw::fn_binarypoke8, poke8);
  t.add(kw::fn_binarypeekflt, peek_flt);
  t.add(kw::fn_binarypokeflt, poke_flt);
  t.add(kw::fn_binaryincrflt, incr_flt);
}

}  // namespace orv::binary
