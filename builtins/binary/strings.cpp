// BinaryPeekStr, BinaryPeekStrW, BinaryPokeStr, BinaryPokeStrW, BinaryPeekHex
// and BinaryPokeHex: text in and out of a buffer. Reads stop at EOD.
#include <cstring>
#include <string>

#include "builtins/binary/binary_args.h"
#include "builtins/binary/hex.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"

namespace orv::binary {
namespace {

// The readable range of a string peek; false with the error set.
bool peek_range(Call& call, const BinaryBuffer& b, std::int32_t& offset, std::int64_t& count) {
  offset = arg_int(call, 2);
  const std::int32_t max = arg_int(call, 3);
  if (!check_offset(call, offset) || !check_count(call, max)) return false;
  if (offset == b.eod && max == 0) { count = 0; return true; }
  if (offset >= b.size) return fail(call.c, errs::kPeekStrOverrun);
  const std::int64_t available = offset < b.eod ? b.eod - offset : 0;
  count = max < available ? max : available;
  return true;
}

void peek_str(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  std::int32_t o = 0;
  std::int64_t n = 0;
  if (!b || !peek_range(call, *b, o, n)) return;
  const void* nul = std::memchr(b->data + o, 0, static_cast<std::size_t>(n));
  if (nul) n = static_cast<const std::uint8_t*>(nul) - (b->data + o);
  if (char* p = string_result(call, static_cast<std::size_t>(n))) std::memcpy(p, b->data + o, static_cast<std::size_t>(n));
}

void peek_str_w(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  std::int32_t o = 0;
  std::int64_t n = 0;
  if (!b) return;
  if (arg_int(call, 3) % 2 != 0) { fail(call.c, errs::kPeekStrWOddMaxSize); return; }
  if (!peek_range(call, *b, o, n)) return;
  if (n % 2 != 0) { fail(call.c, errs::kPeekStrWOddBytes); return; }
  const bool swap = call.count >= 4 && arg_int(call, 4) != 0;
  const std::uint8_t* p = b->data + o;
  auto unit_at = [&](std::int64_t i) {
    const std::uint8_t lo = p[2 * i], hi = p[2 * i + 1];
    return swap ? static_cast<char16_t>(lo << 8 | hi) : static_cast<char16_t>(hi << 8 | lo);
  };
  std::int64_t units = 0;
  while (units < n / 2 && unit_at(units) != 0) ++units;
  char16_t* out = wide_string_result(call, static_cast<std::size_t>(units));
  if (!out) return;
  for (std::int64_t i = 0; i < units; ++i) out[i] = unit_at(i);
}

// The buffer and offset of a poke of `bytes` bytes; false with the error set.
BinaryBuffer* poke_site(Call& call, std::size_t bytes, std::int32_t& offset) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return nullptr;
  offset = arg_int(call, 2);
  if (!check_offset(call, offset)) return nullptr;
  if (static_cast<std::uint64_t>(offset) + bytes > static_cast<std::uint64_t>(b->size)) { fail(call.c, errs::kPokeStrOverrun); return nullptr; }
  return b;
}

void poke_str(Call& call) {
  const std::string_view s = arg_str(call, 3);
  std::int32_t o = 0;
  BinaryBuffer* b = poke_site(call, s.size(), o);
  if (!b) return;
  if (!s.empty()) std::memcpy(b->data + o, s.data(), s.size());
  b->raise_eod(static_cast<std::int64_t>(o) + static_cast<std::int64_t>(s.size()));
  make_int(call.result, static_cast<std::int32_t>(s.size()));
}

void poke_str_w(Call& call) {
  const std::u16string_view s = strings::arg_text<char16_t>(call, 3);
  const bool bigEndian = call.count >= 4 && arg_int(call, 4) != 0;
  std::int32_t o = 0;
  BinaryBuffer* b = poke_site(call, s.size() * 2, o);
  if (!b) return;
  std::uint8_t* p = b->data + o;
  for (char16_t unit : s) {
    const auto lo = static_cast<std::uint8_t>(unit), hi = static_cast<std::uint8_t>(unit >> 8);
    *p++ = bigEndian ? hi : lo;
    *p++ = bigEndian ? lo : hi;
  }
  b->raise_eod(static_cast<std::int64_t>(o) + static_cast<std::int64_t>(s.size() * 2));
  make_int(call.result, static_cast<std::int32_t>(s.size() * 2));
}

void peek_hex(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t o = arg_int(call, 2), count = arg_int(call, 3);
  if (!check_offset(call, o) || !check_count(call, count)) return;
  const std::int64_t available = o < b->eod ? b->eod - o : 0;
  const std::int64_t n = count < available ? count : available;
  char* p = string_result(call, static_cast<std::size_t>(n) * 2);
  if (p) hex_encode(b->data + (n ? o : 0), static_cast<std::size_t>(n), p);
}

void poke_hex(Call& call) {
  BinaryBuffer* b = buffer_arg(call, 1);
  if (!b) return;
  const std::int32_t o = arg_int(call, 2);
  if (!check_offset(call, o)) return;
  if (o >= b->size) { fail(call.c, errs::kBinaryOffsetsBeyondEnd); return; }
  std::string bytes;
  if (!hex_decode(arg_str(call, 3), bytes)) { fail(call.c, errs::kPokeHexBadHex); return; }
  if (static_cast<std::uint64_t>(o) + bytes.size() > static_cast<std::uint64_t>(b->size)) { fail(call.c, errs::kPokeHexOverrun); return; }
  std::memcpy(b->data + o, bytes.data(), bytes.size());
  b->raise_eod(static_cast<std::int64_t>(o) + static_cast<std::int64_t>(bytes.size()));
  make_int(call.result, static_cast<std::int32_t>(bytes.size()));
}

}  // namespace

void register_strings(HandlerTable& t) {
  t.add(kw::fn_binarypeekstr, peek_str);
  t.add(kw::fn_binarypeekstrw, peek_str_w);
  t.add(kw::fn_binarypokestr, poke_str);
  t.add(kw::fn_binarypokestrw, poke_str_w);
  t.add(kw::fn_binarypeekhex, peek_hex);
  t.add(kw::fn_binarypokehex, poke_hex);
}

}  // namespace orv::binary
