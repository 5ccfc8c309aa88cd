// StrSub (a run of characters) and StrTrim (leading and trailing blanks).
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

template <class Ch>
void sub(Call& call) {
  const Text<Ch> t(arg_text<Ch>(call, 1));
  const auto n = static_cast<std::int64_t>(t.chars());
  const std::int64_t start = arg_int(call, 2);
  std::int64_t len = arg_int(call, 3);
  Sv<Ch> out;
  if (start >= 1 && start <= n) {
    if (len == -1 || len > n - start + 1) len = n - start + 1;
    if (len > 0) out = t.chars_sub(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len));
  }
  set_result(call, out);
}

template <class Ch>
bool is_blank(Ch c) { return c == static_cast<Ch>(' ') || c == static_cast<Ch>('\t'); }

// The flags argument comes as text; it is read as an integer parameter is.
bool trim_flags(Call& call, std::int32_t& flags) {
  flags = 3;
  if (!has_arg(call, 2)) return true;
  Temp copy(call.c);
  if (!copy_value(call.c, call.args[2], copy.op())) return false;
  if (!to_int32(call.c, copy.op())) {
    call.c.error = 0;
    return fail(call.c, errs::kNotConvertibleToNumber, "Argument number 2 could not be converted");
  }
  flags = copy->i & 3;
  if (flags == 0) flags = 3;
  return true;
}

template <class Ch>
void trim(Call& call) {
  std::int32_t flags = 3;
  if (!trim_flags(call, flags)) return;
  Sv<Ch> s = arg_text<Ch>(call, 1);
  if (flags & 1)
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  if (flags & 2)
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  set_result(call, s);
}

}  // namespace

void register_sub(HandlerTable& t) {
  t.add(kw::fn_strsub, by_width<sub<char>, sub<char16_t>>);
  t.add(kw::fn_strtrim, by_width<trim<char>, trim<char16_t>>);
}

}  // namespace orv::strings
