// ItemSelect, TextSelect, TextBox, TextBoxSort, Display, ButtonNames and
// About: the short forms of the list and message boxes. Each is one list or
// message box with its choices fixed (order, selection mode), so the rules of
// the full boxes (Cancel is 9999, answers in the call's width) hold here too.
#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "ui/box_args.h"
#include "ui/box_backend.h"
#include "ui/boxes.h"

namespace orv::ui {
namespace {

constexpr unsigned kDisplaySecondsMax = 86400;   // a day: longer is no "display"
constexpr char16_t kAboutTitle[] = u"About ORV";
constexpr char16_t kAboutText[] = u"ORV interpreter\nVersion 1.0";

struct ListShape {
  bool sorted = false;
  int mode = kSingle;
};

// Shows the items and answers the chosen ones joined by the delimiter.
void choose_from(Call& call, std::vector<std::u16string> items, ListShape shape, char16_t delimiter) {
  if (shape.sorted) sort_items(items);
  ListRequest r{box_text(call, 1), std::move(items), shape.mode};
  std::vector<std::size_t> chosen;
  if (!box_answered(call.c, list_box(call.c, r, chosen))) return;
  std::u16string answer;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    if (i) answer += delimiter;
    if (chosen[i] < r.items.size()) answer += r.items[chosen[i]];
  }
  box_result(call, answer);
}

void choose_from_list(Call& call, ListShape shape) {
  char16_t delimiter = u'\t';
  if (!read_delimiter(box_text(call, 3), delimiter)) {
    fail(call.c, errs::kBadDelimiterChar);
    return;
  }
  choose_from(call, split_items(box_text(call, 2), delimiter), shape, delimiter);
}

void item_select(Call& call) { choose_from_list(call, {false, kSingle}); }
void text_select(Call& call) { choose_from_list(call, {false, kExtended}); }
void text_box_sort(Call& call) { choose_from_list(call, {true, kSingle}); }

void text_box_from_file(Call& call) {
  const std::u16string name = box_text(call, 2);
  std::vector<std::u16string> lines;
  if (!read_file_lines(name, lines)) {
    std::string shown;
    platform::utf16_to_ansi(name, shown);
    fail(call.c, errs::kTextBoxUnreadable, shown);
    return;
  }
  choose_from(call, std::move(lines), {false, kSingle}, u'\t');
}

void display(Call& call) {
  const std::int32_t seconds = call.args[1].i;
  if (seconds < 0 || static_cast<unsigned>(seconds) > kDisplaySecondsMax) {
    fail(call.c, errs::kDisplayBadSeconds, int_to_text(seconds));
    return;
  }
  DisplayRequest r{box_text(call, 2), cut_message(box_text(call, 3)), static_cast<unsigned>(seconds) * 1000u};
  if (box_answered(call.c, display_box(call.c, r))) make_int(call.result, 1);
}

void button_names(Call& call) {
  set_button_names(call.c, {box_text(call, 1), box_text(call, 2)});
  make_int(call.result, 1);
}

void about(Call& call) {
  if (box_answered(call.c, message_box(call.c, kAboutTitle, kAboutText, MessageKind::message)))
    make_int(call.result, 1);
}

}  // namespace
}  // namespace orv::ui

namespace orv {

void register_list_box_functions(HandlerTable& t) {
  t.add(kw::fn_itemselect, ui::item_select);
  t.add(kw::fn_textselect, ui::text_select);
  t.add(kw::fn_textbox, ui::text_box_from_file);
  t.add(kw::fn_textboxsort, ui::text_box_sort);
  t.add(kw::fn_display, ui::display);
  t.add(kw::fn_buttonnames, ui::button_names);
  t.add(kw::fn_about, ui::about);
}

}  // namespace orv
