// StrIndexWild, StrLenWild and StrSubWild: the first place at or after a
// start where a wildcard pattern matches, compared without regard to case.
// The match is the longest one at that place.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "platform/wildcard.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

struct WildMatch {
  std::size_t start = 0;   // 0-based character
  std::size_t length = 0;  // characters
};

// Nullopt when nothing matches; an empty pattern matches nothing at the start.
template <class Ch>
std::optional<WildMatch> find_wild(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1), pattern = arg_text<Ch>(call, 2);
  const std::u32string text = char_codes(Sv<Ch>(upper(s)));
  std::int64_t start = arg_int(call, 3);
  if (start == 0) start = 1;
  if (text.empty() || start < 1 || start > static_cast<std::int64_t>(text.size())) return std::nullopt;
  const auto from = static_cast<std::size_t>(start - 1);
  if (pattern.empty()) return WildMatch{from, 0};
  const std::u32string p = char_codes(Sv<Ch>(upper(pattern)));
  const std::u32string_view tv(text), pv(p);
  const auto at = wild::find_first(tv, pv, from);
  if (!at) return std::nullopt;
  return WildMatch{*at, wild::longest_prefix(tv.substr(*at), pv).value_or(0)};
}

template <class Ch>
void index_wild(Call& call) {
  if (auto m = find_wild<Ch>(call)) make_int(call.result, static_cast<std::int32_t>(m->start + 1));
}

template <class Ch>
void len_wild(Call& call) {
  if (auto m = find_wild<Ch>(call)) make_int(call.result, static_cast<std::int32_t>(m->length));
}

template <class Ch>
void sub_wild(Call& call) {
  const auto m = find_wild<Ch>(call);
  const Text<Ch> t(arg_text<Ch>(call, 1));
  set_result(call, m ? t.chars_sub(m->start, m->length) : Sv<Ch>());
}

}  // namespace

void register_wild(HandlerTable& t) {
  t.add(kw::fn_strindexwild, by_width<index_wild<char>, index_wild<char16_t>>);
  t.add(kw::fn_strlenwild, by_width<len_wild<char>, len_wild<char16_t>>);
  t.add(kw::fn_strsubwild, by_width<sub_wild<char>, sub_wild<char16_t>>);
}

}  // namespace orv::strings
