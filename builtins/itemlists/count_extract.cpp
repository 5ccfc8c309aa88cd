// ItemCount and ItemExtract.
#include "builtins/itemlists/itemlists_groups.h"
#include "builtins/itemlists/list_args.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::items {
namespace {

using strings::arg_int;
using strings::arg_text;
using strings::by_width;
using strings::set_result;

template <class Ch>
void count(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 2, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 1);
  std::size_t n = list.empty() ? 0 : 1;
  if (n) text::each_delimiter(list, delim, [&](std::size_t) { ++n; return true; });
  make_int(call.result, static_cast<std::int32_t>(n));
}

template <class Ch>
void extract(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 2);
  const std::int32_t index = arg_int(call, 1);
  if (list.empty() || (index < 1 && index != -1)) { set_result(call, Sv<Ch>()); return; }
  // The item starts after delimiter index-1 and ends at the next one (or the end);
  // the last item (-1) after the last delimiter.
  std::size_t seen = 0, begin = 0, end = list.size();
  bool found = index == 1 || index == -1;
  text::each_delimiter(list, delim, [&](std::size_t at) {
    ++seen;
    if (index == -1) { begin = at + delim.size(); return true; }
    if (found) { end = at; return false; }
    if (seen == static_cast<std::size_t>(index) - 1) { begin = at + delim.size(); found = true; }
    return true;
  });
  set_result(call, found ? list.substr(begin, end - begin) : Sv<Ch>());
}

}  // namespace

void register_count_extract(HandlerTable& t) {
  t.add(kw::fn_itemcount, by_width<count<char>, count<char16_t>>);
  t.add(kw::fn_itemextract, by_width<extract<char>, extract<char16_t>>);
}

}  // namespace orv::items
