// StrCmp and StrICmp: the system's locale-aware ordering, as -1, 0 or 1.
#include "builtins/strings/strings_groups.h"
#include "builtins/strings/text.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::strings {
namespace {

int compare(std::string_view a, std::string_view b, bool nc) { return platform::compare_ansi(a, b, nc); }
int compare(std::u16string_view a, std::u16string_view b, bool nc) { return platform::compare_utf16(a, b, nc); }

template <class Ch, bool IgnoreCase>
void compare_handler(Call& call) {
  const int r = compare(arg_text<Ch>(call, 1), arg_text<Ch>(call, 2), IgnoreCase);
  make_int(call.result, r < 0 ? -1 : r > 0 ? 1 : 0);
}

}  // namespace

void register_compare(HandlerTable& t) {
  t.add(kw::fn_strcmp, by_width<compare_handler<char, false>, compare_handler<char16_t, false>>);
  t.add(kw::fn_stricmp, by_width<compare_handler<char, true>, compare_handler<char16_t, true>>);
}

}  // namespace orv::strings
