// The StrFix family and StrFill: padding and cutting to a length. Results are
// sized from the repetition count and built once.
#include <algorithm>

#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

template <class Ch>
Str<Ch> padding_of(Sv<Ch> pad) {
  return pad.empty() ? Str<Ch>(1, static_cast<Ch>(' ')) : Str<Ch>(pad);
}

// `units` units of the padding repeated, the last repetition cut, with room
// for `extra` units more: by doubling, a few copies instead of one per
// repetition. The byte-counting forms take it as it is.
template <class Ch>
Str<Ch> repeat_units(Sv<Ch> pad, std::size_t units, std::size_t extra = 0) {
  Str<Ch> out;
  out.reserve(units + extra);
  if (pad.empty() || units == 0) return out;
  out.assign(pad.substr(0, std::min(pad.size(), units)));
  while (out.size() < units) out.append(out, 0, std::min(out.size(), units - out.size()));
  return out;
}

// `count` characters of the padding repeated: whole repetitions, then the
// first characters of one.
template <class Ch>
Str<Ch> repeat_chars(Sv<Ch> pad, std::size_t count) {
  const Text<Ch> p(pad);
  const std::size_t whole = count / p.chars(), rest = count % p.chars();
  Str<Ch> out = repeat_units(pad, whole * pad.size(), p.offset(rest));
  out += p.chars_sub(0, rest);
  return out;
}

// Whether `count` characters of the padding after `extra` units fit in the
// string heap; checked before the text is built (3096 when not).
template <class Ch>
bool repeat_fits(Context& c, Sv<Ch> pad, std::uint64_t count, std::uint64_t extra) {
  const Text<Ch> p(pad);
  std::uint64_t units = 0;
  if (!checked_mul(count / p.chars(), pad.size(), units) || !checked_add(units, p.offset(count % p.chars()), units) ||
      !checked_add(units, extra, units))
    return fail(c, errs::kOutOfMemory);
  return string_room<Ch>(c, units);
}

// Whether a base fixed to `len` characters fits: only growth can fail.
template <class Ch>
bool fixed_fits(Context& c, Sv<Ch> base, Sv<Ch> pad, std::size_t len) {
  const std::size_t n = Text<Ch>(base).chars();
  return len <= n || repeat_fits<Ch>(c, pad, len - n, base.size());
}

template <class Ch>
Str<Ch> fix_right(Sv<Ch> base, Sv<Ch> pad, std::size_t len) {
  const Text<Ch> b(base);
  if (len <= b.chars()) return Str<Ch>(b.chars_sub(0, len));
  return Str<Ch>(base) + repeat_chars(pad, len - b.chars());
}

template <class Ch>
Str<Ch> fix_left(Sv<Ch> base, Sv<Ch> pad, std::size_t len) {
  const Text<Ch> b(base);
  const std::size_t n = b.chars();
  if (len <= n) return Str<Ch>(b.chars_sub(n - len, len));
  return repeat_chars(pad, len - n) + Str<Ch>(base);
}

// Cuts ANSI text at `len` bytes; a double-byte character split by the cut
// becomes a blank.
std::string cut_bytes(const std::string& s, std::size_t len) {
  const Text<char> t(s);
  const std::size_t k = t.index_at(len);
  if (t.offset(k) == len) return s.substr(0, len);
  return s.substr(0, t.offset(k)) + ' ';
}

std::string fix_bytes_right(std::string_view base, std::string_view pad, std::size_t len) {
  if (len <= base.size()) return cut_bytes(std::string(base), len);
  std::string whole(base);
  whole += repeat_units(pad, len - base.size() + pad.size());
  return cut_bytes(whole, len);
}

std::string fix_bytes_left(std::string_view base, std::string_view pad, std::size_t len) {
  if (len == base.size()) return std::string(base);
  if (len > base.size()) return cut_bytes(repeat_units(pad, len - base.size() + pad.size()), len - base.size()) + std::string(base);
  // The last len bytes; a trail byte left without its lead becomes a blank.
  const std::size_t from = base.size() - len;
  const Text<char> t(base);
  if (t.is_start(from)) return std::string(base.substr(from));
  return ' ' + std::string(base.substr(from + 1));
}

// Reads base, padding and length; false with 1571 on a negative length.
template <class Ch>
bool fix_arguments(Call& call, Sv<Ch>& base, Str<Ch>& pad, std::size_t& len) {
  const std::int32_t l = arg_int(call, 3);
  if (l < 0) return fail(call.c, errs::kStrFixBadLength);
  base = arg_text<Ch>(call, 1);
  pad = padding_of(arg_text<Ch>(call, 2));
  len = static_cast<std::size_t>(l);
  return true;
}

template <class Ch, bool Left>
void fix_chars(Call& call) {
  Sv<Ch> base;
  Str<Ch> pad;
  std::size_t len = 0;
  if (!fix_arguments(call, base, pad, len) || !fixed_fits<Ch>(call.c, base, Sv<Ch>(pad), len)) return;
  set_result(call, Sv<Ch>(Left ? fix_left<Ch>(base, pad, len) : fix_right<Ch>(base, pad, len)));
}

template <bool Left>
void fix_bytes_ansi(Call& call) {
  std::string_view base;
  std::string pad;
  std::size_t len = 0;
  if (!fix_arguments(call, base, pad, len)) return;
  if (len > base.size() && !string_room<char>(call.c, std::uint64_t{len} + 1)) return;   // + a blank for a split character
  set_result(call, std::string_view(Left ? fix_bytes_left(base, pad, len) : fix_bytes_right(base, pad, len)));
}

// UTF-16: the byte length must be even; it then counts len / 2 units.
template <bool Left>
void fix_bytes_wide(Call& call) {
  std::u16string_view base;
  std::u16string pad;
  std::size_t len = 0;
  if (!fix_arguments(call, base, pad, len)) return;
  if (len % 2 != 0) { fail(call.c, errs::kStrFixBadLength); return; }
  len /= 2;
  if (!fixed_fits<char16_t>(call.c, base, std::u16string_view(pad), len)) return;
  set_result(call, std::u16string_view(Left ? fix_left<char16_t>(base, pad, len) : fix_right<char16_t>(base, pad, len)));
}

// StrFill(text, length): the text repeated to the length.
template <class Ch>
void fill(Call& call) {
  const std::int32_t l = arg_int(call, 2);
  if (l < 0) { fail(call.c, errs::kStrFixBadLength); return; }
  const Str<Ch> pad = padding_of(arg_text<Ch>(call, 1));
  if (!repeat_fits<Ch>(call.c, Sv<Ch>(pad), static_cast<std::uint64_t>(l), 0)) return;
  set_result(call, Sv<Ch>(repeat_chars<Ch>(pad, static_cast<std::size_t>(l))));
}

}  // namespace

void register_fix(HandlerTable& t) {
  constexpr Handler right = by_width<fix_chars<char, false>, fix_chars<char16_t, false>>;
  constexpr Handler left = by_width<fix_chars<char, true>, fix_chars<char16_t, true>>;
  t.add(kw::fn_strfix, right);
  t.add(kw::fn_strfixchars, right);
  t.add(kw::fn_strfixleft, left);
  t.add(kw::fn_strfixcharsl, left);
  t.add(kw::fn_strfixbytes, by_width<fix_bytes_ansi<false>, fix_bytes_wide<false>>);
  t.add(kw::fn_strfixbytesl, by_width<fix_bytes_ansi<true>, fix_bytes_wide<true>>);
  t.add(kw::fn_strfill, by_width<fill<char>, fill<char16_t>>);
}

}  // namespace orv::strings
