#include "builtins/text/items.h"

#include "builtins/text/units.h"

namespace orv::text {
namespace {

template <class Ch>
std::vector<std::basic_string_view<Ch>> split(std::basic_string_view<Ch> list, Ch delim) {
  std::vector<std::basic_string_view<Ch>> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  for (std::size_t i = 0; i < list.size();) {
    if (list[i] == delim) {
      items.push_back(list.substr(start, i - start));
      start = ++i;
      continue;
    }
    i += char_units(list, i);
  }
  items.push_back(list.substr(start));
  return items;
}

}  // namespace

std::vector<std::string_view> split_items(std::string_view list, char delim) { return split(list, delim); }
std::vector<std::u16string_view> split_items(std::u16string_view list, char16_t delim) { return split(list, delim); }

}  // namespace orv::text
