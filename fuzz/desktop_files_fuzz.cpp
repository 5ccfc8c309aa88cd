// Fuzz target: bytes read as an icon file, an icon group, a shortcut header,
// a hotkey, a special folder name, a dialog definition file, a chooser's file
// type list, a multiple-choice answer and a font description. Whatever the
// bytes, each reader answers or refuses; what it accepts writes back to the
// same images and reads again the same way.
#include <cstdint>
#include <string>

#include "desktop/icon_file.h"
#include "desktop/shortcut_text.h"
#include "ui/chooser_text.h"
#include "ui/dialogs/definition_file.h"

using namespace orv::desktop;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (const auto images = read_icon_file(input)) {
    const auto again = read_icon_file(write_icon_file(*images));
    if (!again || again->size() != images->size()) __builtin_trap();
    for (std::size_t i = 0; i < images->size(); ++i)
      if ((*again)[i].bytes != (*images)[i].bytes) __builtin_trap();
    describe_images(*images);
  }
  if (const auto group = read_icon_group(input)) {
    const auto again = read_icon_group(write_icon_group(*group));
    if (!again || again->size() != group->size()) __builtin_trap();
  }
  link_file_show_command(input);
  if (const auto hotkey = parse_hotkey(input)) {
    const std::string text = hotkey_text(*hotkey);
    // Written hotkeys read back to the same keys, except keys written as a
    // bare number, which are for reading only.
    const std::size_t brace = text.find('{');
    const bool numbered = brace != std::string::npos && text[brace + 1] >= '0' && text[brace + 1] <= '9';
    if (!numbered && parse_hotkey(text).value_or(0xFFFF) != *hotkey) __builtin_trap();
  }
  special_folder(input);
  orv::dialogs::DefinitionEntries entries;
  std::size_t bad = 0;
  orv::dialogs::read_definition_file(input, entries, bad);
  const std::u16string wide(reinterpret_cast<const char16_t*>(data), size / 2);
  if (const auto filter = orv::ui::file_filter(wide))
    if (filter->size() < 2 || (*filter)[filter->size() - 1] != u'\0' || (*filter)[filter->size() - 2] != u'\0')
      __builtin_trap();
  orv::ui::chosen_files(wide);
  if (const auto font = orv::ui::parse_font_choice(input)) {
    // A description read and written again reads back the same.
    const auto again = orv::ui::parse_font_choice(*orv::ui::font_answer(*font, 0));
    if (!again || orv::ui::font_answer(*again, 0) != orv::ui::font_answer(*font, 0)) __builtin_trap();
  }
  return 0;
}
