// Menus named by a path of captions ("File|Save As"), matched without regard
// to case, ampersands, the shortcut text after a tab, or a trailing "...";
// and the menu templates of a program's resources, read when another
// program's live menu cannot be. Platform-free: templates are plain bytes
// (from another program's file, so every length is checked).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::winauto {

struct MenuNode {
  std::u16string caption;            // as the menu shows it ("&Save As...\tCtrl+S")
  std::uint32_t id = 0;              // command id of a plain item
  bool popup = false;
  bool separator = false;
  bool disabled = false;
  std::vector<MenuNode> items;       // of a pop-up
};

// The path's captions, split at `delimiter`; empty parts are refused (nothing).
std::optional<std::vector<std::u16string>> split_menu_path(std::u16string_view path, char16_t delimiter);

// A caption as it is compared: "&&" is "&", other "&" dropped, the text from
// a tab on dropped, a trailing "..." and surrounding blanks dropped, ASCII
// letters in lower case (other letters are folded by the caller's rule).
std::u16string menu_match_key(std::u16string_view caption);

// The item the whole path leads to (its last caption names a plain item or a
// pop-up); nullptr when a caption has no match at its level. The first match
// of a level wins.
const MenuNode* find_menu_item(const std::vector<MenuNode>& top, const std::vector<std::u16string>& path);

// The items of a menu template (the standard or the extended form); nothing
// when the bytes are not a whole template.
std::optional<std::vector<MenuNode>> parse_menu_template(const std::uint8_t* data, std::size_t size);

}  // namespace orv::winauto
