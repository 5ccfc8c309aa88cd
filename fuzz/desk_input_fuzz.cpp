// Fuzz target: the platform-free readers of the clipboard, keyboard, mouse
// and window-extra functions. The first byte picks the reader; the rest is
// its input, as another program or a script would hand it over.
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/clipboard/file_list.h"
#include "winauto/desk_rules.h"
#include "winauto/key_words.h"
#include "winauto/menu_path.h"
#include "winauto/mouse_rules.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t which = data[0];
  const std::uint8_t* rest = data + 1;
  const std::size_t n = size - 1;
  switch (which % 5) {
    case 0: {
      const auto names = clip::decode_file_list(rest, n);
      if (names) {
        // What a list reads back to encodes to a block that reads back the same.
        for (const auto& name : *names)
          if (name.empty()) __builtin_trap();
        const auto block = clip::encode_file_list(*names);
        const auto again = clip::decode_file_list(block.data(), block.size());
        if (!again || *again != *names) __builtin_trap();
      }
      break;
    }
    case 1: {
      // A menu template from a program's file; every path of captions through
      // what it reads leads back to an item.
      const auto menu = winauto::parse_menu_template(rest, n);
      if (menu && !menu->empty()) {
        const winauto::MenuNode& first = menu->front();
        if (!winauto::menu_match_key(first.caption).empty() && !first.separator &&
            !winauto::find_menu_item(*menu, {first.caption}))
          __builtin_trap();
      }
      break;
    }
    case 2: {
      // Key words as a script writes them; a list never keeps keys past a bad word.
      const std::string_view text(reinterpret_cast<const char*>(rest), n);
      const auto list = winauto::parse_key_word_list(text);
      if (list.bad && !list.keys.empty()) __builtin_trap();
      for (const auto& key : list.keys)
        if (key.repeat != 1) __builtin_trap();
      break;
    }
    case 4: {
      // A position as MousePlay takes it; what reads back prints back the same.
      const std::string_view text(reinterpret_cast<const char*>(rest), n);
      if (const auto p = winauto::parse_mouse_point(text)) {
        const std::string again = std::to_string(p->x) + " " + std::to_string(p->y);
        if (winauto::parse_mouse_point(again) != p) __builtin_trap();
      }
      break;
    }
    default: {
      // A menu path and a program name in UTF-16.
      std::u16string text(n / 2, u'\0');
      for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(rest[2 * i] | rest[2 * i + 1] << 8);
      if (const auto path = winauto::split_menu_path(text, u'|'))
        for (const auto& part : *path)
          if (winauto::menu_match_key(part).empty()) __builtin_trap();
      const std::size_t cut = text.find(u'\t');
      if (cut != std::u16string::npos) {
        const std::u16string wanted = text.substr(0, cut), image = text.substr(cut + 1);
        if (!wanted.empty() && wanted == image && !winauto::program_matches(wanted, image)) __builtin_trap();
      }
      break;
    }
  }
  return 0;
}
