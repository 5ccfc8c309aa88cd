// Item lists: strings whose items are separated by one delimiter character.
// Shared by the item-list and array families.
#pragma once
#include <string_view>
#include <vector>

namespace orv::text {

inline constexpr char16_t kTab = u'\t';

// The delimiter named by an argument: empty means TAB. False when the
// argument is longer than one character (the caller's error, usually 1705).
template <class Ch>
bool item_delimiter(std::basic_string_view<Ch> arg, Ch& out) {
  if (arg.empty()) { out = static_cast<Ch>(kTab); return true; }
  if (arg.size() != 1) return false;
  out = arg[0];
  return true;
}

// The items of a list in order; an empty list has none. In ANSI text a
// delimiter byte that is the second byte of a double-byte character does not
// split.
std::vector<std::string_view> split_items(std::string_view list, char delim);
std::vector<std::u16string_view> split_items(std::u16string_view list, char16_t delim);

}  // namespace orv::text
