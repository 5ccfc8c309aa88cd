// StrClean: replaces the characters of a source that are (mode 1) or are not
// (mode 2) in a set. Counts first, then builds the result in one pass.
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
void clean(Call& call) {
  const Sv<Ch> source = arg_text<Ch>(call, 1), chars = arg_text<Ch>(call, 2), repl = arg_text<Ch>(call, 3);
  const std::int32_t matchCase = arg_int(call, 4), mode = arg_int(call, 5);
  if (matchCase != 0 && matchCase != 1) { fail(call.c, errs::kStrCleanBadMatchCase); return; }
  if (mode != 1 && mode != 2) { fail(call.c, errs::kStrCleanBadMode); return; }
  const bool fold = matchCase == 0;
  std::u32string set = fold ? char_codes(Sv<Ch>(upper(chars))) : char_codes(chars);
  std::sort(set.begin(), set.end());
  const std::u32string codes = fold ? char_codes(Sv<Ch>(upper(source))) : char_codes(source);
  const Text<Ch> text(source);
  // Which characters go: membership decides, inverted by mode 2.
  std::vector<char> replaced(codes.size());
  std::size_t count = 0, goneUnits = 0;
  for (std::size_t k = 0; k < codes.size(); ++k) {
    const bool member = std::binary_search(set.begin(), set.end(), codes[k]);
    replaced[k] = member == (mode == 1);
    if (replaced[k]) {
      ++count;
      goneUnits += text.char_at(k).size();
    }
  }
  std::uint64_t units = 0;
  if (!checked_mul(count, repl.size(), units) || !string_room<Ch>(call.c, units + (source.size() - goneUnits))) {
    fail(call.c, errs::kOutOfMemory);
    return;
  }
  Str<Ch> out;
  out.reserve(static_cast<std::size_t>(units) + (source.size() - goneUnits));
  for (std::size_t k = 0; k < codes.size(); ++k) {
    if (replaced[k]) out += repl;
    else out += text.char_at(k);
  }
  set_result(call, Sv<Ch>(out));
}

}  // namespace

void register_clean(HandlerTable& t) { t.add(kw::fn_strclean, by_width<clean<char>, clean<char16_t>>); }

}  // namespace orv::strings
