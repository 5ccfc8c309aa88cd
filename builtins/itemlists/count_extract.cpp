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
  const std::size_t n = list.empty() ? 0 : text::count_delimiters(list, delim) + 1;
  make_int(call.result, static_cast<std::int32_t>(n));
}

template <class Ch>
void extract(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 2);
  const std::int32_t index = arg_int(call, 1);
  if (list.empty() || (index < 1 && index != -1)) { set_result(call, Sv<Ch>()); return; }
  std::size_t begin = 0, end = list.size();
  if (index == -1) {   // after the last delimiter
    text::each_delimiter(list, delim, [&](std::size_t at) { begin = at + delim.size(); return true; });
  } else {
    // The item starts after delimiter index-1 and ends at the next one (or the end).
    if (index > 1) {
      const std::size_t before = text::nth_delimiter(list, delim, static_cast<std::size_t>(index) - 1);
      if (before == Sv<Ch>::npos) { set_result(call, Sv<Ch>()); return; }
      begin = before + delim.size();
    }
    const std::size_t after = text::nth_delimiter(list.substr(begin), delim, 1);
    if (after != Sv<Ch>::npos) end = begin + after;
  }
  set_result(call, list.substr(begin, end - begin));
}

}  // namespace

void register_count_extract(HandlerTable& t) {
  t.add(kw::fn_itemcount, by_width<count<char>, count<char16_t>>);
  t.add(kw::fn_itemextract, by_width<extract<char>, extract<char16_t>>);
}

}  // namespace orv::items
