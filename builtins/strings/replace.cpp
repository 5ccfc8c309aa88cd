// StrReplace: every occurrence, left to right without overlap, in one pass.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/keyword_ids.h"

namespace orv::strings {
namespace {

template <class Ch>
void replace(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1), old = arg_text<Ch>(call, 2), repl = arg_text<Ch>(call, 3);
  if (old.empty()) { set_result(call, s); return; }
  const Text<Ch> t(s);
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
