#include "builtins/itemlists/items.h"

namespace orv::items {

template <class Ch>
bool read_delimiter(Call& call, int k, Str<Ch>& delim) {
  const Sv<Ch> d = strings::arg_text<Ch>(call, k);
  if (d.empty()) {
    delim.assign(1, static_cast<Ch>('\t'));
    return true;
  }
  if (strings::first_char_units(d) != d.size()) return fail(call.c, 1705);
  delim.assign(d);
  return true;
}

template <class Ch>
std::vector<Span> split(Sv<Ch> list, Sv<Ch> delim) {
  std::vector<Span> spans;
  if (list.empty()) return spans;
  const strings::Text<Ch> t(list);
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = strings::find_from(t, delim, from);
    if (at == Sv<Ch>::npos) break;
    spans.push_back({from, at});
    from = at + delim.size();
  }
  spans.push_back({from, list.size()});
  return spans;
}

std::optional<std::size_t> resolve_index(std::int32_t index, std::size_t count) {
  if (index == -1 && count > 0) return count - 1;
  if (index >= 1 && static_cast<std::size_t>(index) <= count) return static_cast<std::size_t>(index) - 1;
  return std::nullopt;
}

template <class Ch>
Str<Ch> join(const std::vector<Sv<Ch>>& items, Sv<Ch> delim) {
  std::size_t total = 0;
  for (const auto& i : items) total += i.size() + delim.size();
  Str<Ch> out;
  out.reserve(total);
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k) out += delim;
    out += items[k];
  }
  return out;
}

template bool read_delimiter<char>(Call&, int, Str<char>&);
template bool read_delimiter<char16_t>(Call&, int, Str<char16_t>&);
template std::vector<Span> split<char>(Sv<char>, Sv<char>);
template std::vector<Span> split<char16_t>(Sv<char16_t>, Sv<char16_t>);
template Str<char> join<char>(const std::vector<Sv<char>>&, Sv<char>);
template Str<char16_t> join<char16_t>(const std::vector<Sv<char16_t>>&, Sv<char16_t>);

}  // namespace orv::items
