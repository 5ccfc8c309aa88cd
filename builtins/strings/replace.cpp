// StrReplace: every occurrence, left to right without overlap, in one pass.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"

namespace orv::strings {
namespace {

// The result grows by (new - old) per occurrence: when even an occurrence at
// every position could not overflow the heap there is nothing to count.
template <class Ch>
bool result_fits(Context& c, const Text<Ch>& t, Sv<Ch> old, Sv<Ch> repl) {
  const Sv<Ch> s = t.view();
  if (repl.size() <= old.size()) return true;
  std::uint64_t bound = 0;
  if (checked_mul(s.size() / old.size(), repl.size() - old.size(), bound) && checked_add(bound, s.size(), bound) &&
      heap_can_hold(c, (bound + 1) * sizeof(Ch)))
    return true;
  std::uint64_t count = 0;
  for (std::size_t at = find_from(t, old, 0); at != Sv<Ch>::npos; at = find_from(t, old, at + old.size())) ++count;
  std::uint64_t units = 0;
  if (!checked_mul(count, repl.size() - old.size(), units) || !checked_add(units, s.size(), units))
    return fail(c, errs::kOutOfMemory);
  return string_room<Ch>(c, units);
}

template <class Ch>
void replace(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1), old = arg_text<Ch>(call, 2), repl = arg_text<Ch>(call, 3);
  if (old.empty()) { set_result(call, s); return; }
  const Text<Ch> t(s);
  if (!result_fits(call.c, t, old, repl)) return;
  Str<Ch> out;
  out.reserve(s.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = find_from(t, old, from);
    if (at == Sv<Ch>::npos) break;
    out.append(s.substr(from, at - from));
    out.append(repl);
    from = at + old.size();
  }
  out.append(s.substr(from));
  set_result(call, Sv<Ch>(out));
}

}  // namespace

void register_replace(HandlerTable& t) { t.add(kw::fn_strreplace, by_width<replace<char>, replace<char16_t>>); }

}  // namespace orv::strings
