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
  Str<Ch> delim;
  if (!read_delimiter<Ch>(call, 2, delim)) return;
  make_int(call.result, static_cast<std::int32_t>(text::split_items(arg_text<Ch>(call, 1), delim).size()));
}

template <class Ch>
void extract(Call& call) {
  Str<Ch> delim;
  if (!read_delimiter<Ch>(call, 3, delim)) return;
  const Sv<Ch> list = arg_text<Ch>(call, 2);
  const auto spans = text::split_items(list, delim);
  const auto k = text::resolve_index(arg_int(call, 1), spans.size());
  set_result(call, k ? text::span_text(list, spans[*k]) : Sv<Ch>());
}

}  // namespace

void register_count_extract(HandlerTable& t) {
  t.add(kw::fn_itemcount, by_width<count<char>, count<char16_t>>);
  t.add(kw::fn_itemextract, by_width<extract<char>, extract<char16_t>>);
}

}  // namespace orv::items
