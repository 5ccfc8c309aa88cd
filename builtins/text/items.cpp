#include "builtins/text/items.h"

namespace orv::text {
namespace {

template <class Ch>
std::vector<Span> split(std::basic_string_view<Ch> list, std::basic_string_view<Ch> delim) {
  std::vector<Span> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  each_delimiter(list, delim, [&](std::size_t at) {
    items.push_back({start, at});
    start = at + delim.size();
    return true;
  });
  items.push_back({start, list.size()});
  return items;
}

template <class Ch>
std::basic_string<Ch> join(const std::vector<std::basic_string_view<Ch>>& items, std::basic_string_view<Ch> delim) {
  std::size_t total = 0;
  for (const auto& i : items) total += i.size() + delim.size();
  std::basic_string<Ch> out;
  out.reserve(total);
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k) out += delim;
    out += items[k];
  }
  return out;
}

}  // namespace

std::vector<Span> split_items(std::string_view list, std::string_view delim) { return split(list, delim); }
std::vector<Span> split_items(std::u16string_view list, std::u16string_view delim) { return split(list, delim); }

std::optional<std::size_t> resolve_index(std::int32_t index, std::size_t count) {
  if (index == -1 && count > 0) return count - 1;
  if (index >= 1 && static_cast<std::size_t>(index) <= count) return static_cast<std::size_t>(index) - 1;
  return std::nullopt;
}

std::string join_items(const std::vector<std::string_view>& items, std::string_view delim) {
  return join(items, delim);
}
std::u16string join_items(const std::vector<std::u16string_view>& items, std::u16string_view delim) {
  return join(items, delim);
}

}  // namespace orv::text
