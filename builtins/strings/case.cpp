// StrUpper and StrLower.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/keyword_ids.h"

namespace orv::strings {
namespace {

template <class Ch, bool Upper>
void change_case(Call& call) {
  const Sv<Ch> s = arg_text<Ch>(call, 1);
  set_result(call, Sv<Ch>(Upper ? upper(s) : lower(s)));
}

}  // namespace

void register_case(HandlerTable& t) {
  t.add(kw::fn_strupper, by_width<change_case<char, true>, change_case<char16_t, true>>);
  t.add(kw::fn_strlower, by_width<change_case<char, false>, change_case<char16_t, false>>);
}

}  // namespace orv::strings
