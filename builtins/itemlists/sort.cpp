// ItemSort (exact unit order) and ItemSortNc (the same on upper-cased
// items). The sort is stable, so equal items keep their order.
#include <algorithm>

#include "builtins/itemlists/itemlists_groups.h"
#include "builtins/itemlists/list_args.h"
#include "engine/keyword_ids.h"

namespace orv::items {
namespace {

using strings::arg_text;
using strings::by_width;
using strings::set_result;

// Units compared as unsigned values, so bytes above 0x7F sort after ASCII.
template <class Ch>
bool unit_less(Sv<Ch> a, Sv<Ch> b) {
  using U = std::make_unsigned_t<Ch>;
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](Ch x, Ch y) { return static_cast<U>(x) < static_cast<U>(y); });
}

template <class Ch, bool IgnoreCase>
void sort(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 2, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 1);
  const Str<Ch> folded = IgnoreCase ? strings::upper(list) : Str<Ch>();
  const Sv<Ch> keys = IgnoreCase ? Sv<Ch>(folded) : list;
  const auto spans = text::split_items(list, delim);
  std::vector<std::size_t> order(spans.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return unit_less<Ch>(text::span_text(keys, spans[a]), text::span_text(keys, spans[b]));
  });
  std::vector<Sv<Ch>> items;
  items.reserve(order.size());
  for (std::size_t k : order) items.push_back(text::span_text(list, spans[k]));
  set_result(call, Sv<Ch>(text::join_items(items, delim)));
}

}  // namespace

void register_sort(HandlerTable& t) {
  t.add(kw::fn_itemsort, by_width<sort<char, false>, sort<char16_t, false>>);
  t.add(kw::fn_itemsortnc, by_width<sort<char, true>, sort<char16_t, true>>);
}

}  // namespace orv::items
