// ItemLocate (exact item) and ItemLocateWild (whole item matches a wildcard
// pattern, without regard to case).
#include "builtins/itemlists/itemlists_groups.h"
#include "builtins/itemlists/list_args.h"
#include "platform/wildcard.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"

namespace orv::items {
namespace {

using strings::arg_int;
using strings::arg_text;
using strings::by_width;

template <class Ch>
void locate(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  const Sv<Ch> item = arg_text<Ch>(call, 1), list = arg_text<Ch>(call, 2);
  if (list.empty()) return;
  std::size_t start = 0, k = 0;
  bool found = false;
  text::each_delimiter(list, delim, [&](std::size_t at) {
    found = list.substr(start, at - start) == item;
    if (!found) { start = at + delim.size(); ++k; }
    return !found;
  });
  if (found || list.substr(start) == item) make_int(call.result, static_cast<std::int32_t>(k + 1));
}

// Start: -1 is the last item, other values below 1 mean the first.
template <class Ch>
void locate_wild(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  // Split the list as given (the delimiter may be a letter), match folded items.
  const Sv<Ch> list = arg_text<Ch>(call, 2);
  const Str<Ch> pattern = strings::upper(arg_text<Ch>(call, 1)), folded = strings::upper(list);
  const auto spans = text::split_items(list, delim);
  const std::int32_t start = arg_int(call, 4);
  std::size_t first = 0;
  if (start == -1) first = spans.empty() ? 0 : spans.size() - 1;
  else if (start > 1) first = static_cast<std::size_t>(start) - 1;
  const std::u32string p = strings::char_codes(Sv<Ch>(pattern));
  for (std::size_t k = first; k < spans.size(); ++k) {
    const std::u32string item = strings::char_codes(text::span_text(Sv<Ch>(folded), spans[k]));
    if (strings::wild::matches(std::u32string_view(item), std::u32string_view(p))) {
      make_int(call.result, static_cast<std::int32_t>(k + 1));
      return;
    }
  }
}

}  // namespace

void register_locate(HandlerTable& t) {
  t.add(kw::fn_itemlocate, by_width<locate<char>, locate<char16_t>>);
  t.add(kw::fn_itemlocatewild, by_width<locate_wild<char>, locate_wild<char16_t>>);
}

}  // namespace orv::items
