// AskFileName, AskDirectory and AskColor: argument checks and answers here,
// the system's choosers in the back end. Cancel follows the box rules: the
// user-cancel code 9999, never a result.
#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "ui/box_args.h"
#include "ui/chooser_backend.h"
#include "ui/chooser_text.h"
#include "ui/dialogs/definition.h"

namespace orv::ui {
namespace {

std::string chooser_shown(const std::u16string& s) {
  std::string out;
  platform::utf16_to_ansi(s, out);
  return out;
}

void ask_file_name(Call& call) {
  const int mode = call.args[5].i;
  if (mode < static_cast<int>(FileMode::save) || mode > static_cast<int>(FileMode::open_multiple)) {
    fail(call.c, errs::kAskFileNameBadMode, int_to_text(mode));
    return;
  }
  const std::u16string types = box_text(call, 3);
  const std::optional<std::u16string> filter = file_filter(types);
  if (!filter) {
    fail(call.c, errs::kBadFileTypeList, chooser_shown(types));
    return;
  }
  const FileRequest r{box_text(call, 1), box_text(call, 2), *filter, box_text(call, 4), static_cast<FileMode>(mode)};
  std::u16string answer;
  if (!box_answered(call.c, file_chooser(call.c, r, answer))) return;
  std::u16string joined;
  for (const std::u16string& file : chosen_files(answer)) {
    if (!joined.empty()) joined += u'\t';
    joined += file;
  }
  box_result(call, joined);
}

constexpr int kFolderEditBox = 1, kFolderNewButton = 2;

void ask_directory(Call& call) {
  const int flags = call.args[5].i;
  if (flags & ~(kFolderEditBox | kFolderNewButton)) {
    fail(call.c, errs::kAskDirectoryBadFlags, int_to_text(flags));
    return;
  }
  FolderRequest r{box_text(call, 1), box_text(call, 2), box_text(call, 3), (flags & kFolderEditBox) != 0,
                  (flags & kFolderNewButton) != 0};
  const std::u16string confirm = box_text(call, 4);
  for (;;) {
    std::u16string folder;
    if (!box_answered(call.c, folder_chooser(call.c, r, folder))) return;
    if (confirm.empty()) {
      box_result(call, folder);
      return;
    }
    // Yes takes the folder, No chooses again from it, Cancel cancels.
    const BoxAnswer sure = message_box(call.c, r.prompt, confirm + u"\n" + folder, MessageKind::yesno);
    if (!box_answered(call.c, sure)) return;
    if (sure == kBoxYes) {
      box_result(call, folder);
      return;
    }
    r.start = folder;
  }
}

void ask_color(Call& call) {
  const int format = call.args[3].i;
  if (!colour_answer(0, 0, 0, format)) {
    fail(call.c, errs::kAskColorBadFormat, int_to_text(format));
    return;
  }
  std::string given;
  platform::utf16_to_ansi(box_text(call, 1), given);
  ColourRequest r;
  if (!given.empty()) {
    const std::optional<dialogs::Colour> colour = dialogs::parse_colour(given);
    if (!colour) {
      fail(call.c, errs::kBadDefaultColour, given);
      return;
    }
    r.initial = colour->r | colour->g << 8 | colour->b << 16;
  }
  const std::u16string key = box_text(call, 2);
  load_custom_colours(key, r.custom);
  std::uint32_t chosen = 0;
  const BoxAnswer answer = colour_chooser(call.c, r, chosen);
  if (!box_answered(call.c, answer)) return;
  store_custom_colours(key, r.custom);
  const std::string text = *colour_answer(chosen & 0xFF, (chosen >> 8) & 0xFF, (chosen >> 16) & 0xFF, format);
  box_result(call, std::u16string(text.begin(), text.end()));
}

constexpr int kFontEffects = 1;

void ask_font(Call& call) {
  const int list = call.args[1].i, flags = call.args[2].i, format = call.args[4].i;
  if (list < static_cast<int>(FontList::all) || list > static_cast<int>(FontList::true_type)) {
    fail(call.c, errs::kAskFontBadList, int_to_text(list));
    return;
  }
  if (flags & ~kFontEffects) {
    fail(call.c, errs::kAskFontBadFlags, int_to_text(flags));
    return;
  }
  if (!font_answer({}, format)) {
    fail(call.c, errs::kAskFontBadFormat, int_to_text(format));
    return;
  }
  std::string given;
  platform::utf16_to_ansi(box_text(call, 3), given);
  const std::optional<FontChoice> initial = parse_font_choice(given);
  if (!initial) {
    fail(call.c, errs::kBadDefaultFont, given);
    return;
  }
  const FontRequest r{static_cast<FontList>(list), (flags & kFontEffects) != 0, *initial};
  FontChoice chosen;
  if (!box_answered(call.c, font_chooser(call.c, r, chosen))) return;
  std::u16string answer;
  platform::ansi_to_utf16(*font_answer(chosen, format), answer);
  box_result(call, answer);
}

}  // namespace
}  // namespace orv::ui

namespace orv {

void register_chooser_functions(HandlerTable& t) {
  t.add(kw::fn_askfilename, ui::ask_file_name);
  t.add(kw::fn_askdirectory, ui::ask_directory);
  t.add(kw::fn_askcolor, ui::ask_color);
  t.add(kw::fn_askfont, ui::ask_font);
}

}  // namespace orv
