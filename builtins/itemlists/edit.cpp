// ItemInsert, ItemRemove and ItemReplace. An index that names no item leaves
// the list as it is, except that inserting beyond the end (or at -1) appends.
#include "builtins/itemlists/itemlists_groups.h"
#include "builtins/itemlists/list_args.h"
#include "engine/keyword_ids.h"
#include "engine/sizes.h"

namespace orv::items {
namespace {

using strings::arg_int;
using strings::arg_text;
using strings::by_width;
using strings::set_joined_result;
using strings::set_result;

template <class Ch>
std::vector<Sv<Ch>> items_of(Sv<Ch> list, Sv<Ch> delim) {
  std::vector<Sv<Ch>> out;
  for (const text::Span& s : text::split_items(list, delim)) out.push_back(text::span_text(list, s));
  return out;
}

template <class Ch>
void insert(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 4, delim)) return;
  const Sv<Ch> item = arg_text<Ch>(call, 1), list = arg_text<Ch>(call, 3);
  const std::int32_t index = arg_int(call, 2);
  if (index < 1 && index != -1) {
    // The list comes back as it is, but a list that could not take the item still fails.
    if (string_room<Ch>(call.c, std::uint64_t{list.size()} + item.size() + delim.size())) set_result(call, list);
    return;
  }
  if (list.empty()) { set_result(call, item); return; }
  // Where item `index` starts (after delimiter index-1); past the last item appends.
  std::size_t at = index == 1 ? 0 : list.size() + 1, seen = 0;
  if (index > 1)
    text::each_delimiter(list, delim, [&](std::size_t d) {
      if (++seen < static_cast<std::size_t>(index) - 1) return true;
      at = d + delim.size();
      return false;
    });
  // The joined result fails with 3096 when it cannot fit, as the room check would.
  if (at > list.size()) set_joined_result(call, {list, delim, item});
  else set_joined_result(call, {list.substr(0, at), item, delim, list.substr(at)});
}

template <class Ch>
void remove(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 2);
  auto items = items_of<Ch>(list, delim);
  const auto k = text::resolve_index(arg_int(call, 1), items.size());
  if (!k) { set_result(call, list); return; }
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(*k));
  set_result(call, Sv<Ch>(text::join_items(items, delim)));
}

template <class Ch>
void replace(Call& call) {
  Sv<Ch> delim;
  if (!read_delimiter<Ch>(call, 4, delim)) return;
  const Sv<Ch> item = arg_text<Ch>(call, 1), list = arg_text<Ch>(call, 3);
  if (!string_room<Ch>(call.c, std::uint64_t{list.size()} + item.size())) return;
  auto items = items_of<Ch>(list, delim);
  const auto k = text::resolve_index(arg_int(call, 2), items.size());
  if (!k) { set_result(call, list); return; }
  items[*k] = item;
  set_result(call, Sv<Ch>(text::join_items(items, delim)));
}

}  // namespace

void register_edit(HandlerTable& t) {
  t.add(kw::fn_iteminsert, by_width<insert<char>, insert<char16_t>>);
  t.add(kw::fn_itemremove, by_width<remove<char>, remove<char16_t>>);
  t.add(kw::fn_itemreplace, by_width<replace<char>, replace<char16_t>>);
}

}  // namespace orv::items
