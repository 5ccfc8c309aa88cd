// Message, Pause, AskYesNo, AskLine, AskPassword, AskItemList, AskFileText and
// AskTextBox: argument checks and results here, the box itself in the back
// end. Cancel is never a result: it raises the user-cancel code 9999.
#include "ui/boxes.h"

#include <algorithm>

#include "builtins/families.h"
#include "builtins/strings/text.h"
#include "builtins/text/hex.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "ui/box_args.h"
#include "ui/box_backend.h"

namespace orv::ui {

std::u16string cut_message(std::u16string text) {
  if (text.size() > kMessageTextMax) {
    text.resize(kMessageTextMax);
    text += u"...";
  }
  return text;
}

std::string hex_units(std::u16string_view text) { return text::units_to_hex(text.substr(0, kHexAnswerMax)); }

std::vector<std::u16string> split_items(std::u16string_view list, char16_t delimiter) {
  std::vector<std::u16string> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = list.find(delimiter, start);
    items.emplace_back(list.substr(start, at == std::u16string_view::npos ? std::u16string_view::npos : at - start));
    if (at == std::u16string_view::npos) break;
    start = at + 1;
  }
  return items;
}

std::vector<std::u16string> split_lines(std::u16string_view text) {
  std::vector<std::u16string> lines = split_items(text, u'\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::u16string& line : lines)
    if (!line.empty() && line.back() == u'\r') line.pop_back();
  return lines;
}

void sort_items(std::vector<std::u16string>& items) {
  std::stable_sort(items.begin(), items.end(), [](const std::u16string& a, const std::u16string& b) {
    return platform::compare_utf16(a, b, true) < 0;
  });
}

bool read_delimiter(std::u16string_view given, char16_t& delimiter) {
  if (given.size() > 1) return false;
  delimiter = given.empty() ? u'\t' : given[0];
  return true;
}

bool read_file_lines(const std::u16string& name, std::vector<std::u16string>& lines) {
  std::string path, bytes;
  platform::utf16_to_ansi(name, path);
  std::u16string text;
  if (platform::read_whole_file(path, bytes) != platform::FileStatus::ok || !platform::ansi_to_utf16(bytes, text))
    return false;
  lines = split_lines(text);
  return true;
}

namespace {

std::u16string text_of(const Call& call, int k) { return box_text(call, k); }
void result_in_width(Call& call, std::u16string_view text) { box_result(call, text); }

bool answered(Context& c, BoxAnswer answer) { return box_answered(c, answer); }

void message(Call& call) {
  if (answered(call.c, message_box(call.c, text_of(call, 1), cut_message(text_of(call, 2)), MessageKind::message)))
    make_int(call.result, 1);
}

// Terminate: the script ends (9000, as by Exit) whether or not the box could
// be shown; without a display the text is lost, never the ending.
void terminate(Call& call) {
  if (call.args[1].i == 0) return;
  message_box(call.c, text_of(call, 2), cut_message(text_of(call, 3)), MessageKind::message);
  call.c.error = 0;
  call.c.errorText.clear();
  fail(call.c, 9000);
}

void pause(Call& call) {
  if (answered(call.c, message_box(call.c, text_of(call, 1), cut_message(text_of(call, 2)), MessageKind::pause)))
    make_int(call.result, 1);
}

void ask_yes_no(Call& call) {
  const BoxAnswer a = message_box(call.c, text_of(call, 1), cut_message(text_of(call, 2)), MessageKind::yesno);
  if (answered(call.c, a)) make_int(call.result, a == kBoxYes ? 1 : 0);
}

void ask_line_or_password(Call& call, bool password) {
  const int format = !password && call.count >= 4 ? call.args[4].i : 0;
  if (format < 0 || format > 3) { fail(call.c, errs::kAskLineBadFormat); return; }
  LineRequest r{text_of(call, 1), text_of(call, 2), password ? u"" : text_of(call, 3), password,
                call.wide};
  if (r.initial.size() > kEditLineMax) r.initial.resize(kEditLineMax);
  std::u16string answer;
  if (!answered(call.c, line_box(call.c, r, answer))) return;
  if (format == 1) {
    strings::set_result(call, std::u16string_view(answer));
  } else if (format >= 2) {
    strings::set_result(call, std::string_view(hex_units(answer)));
  } else {
    result_in_width(call, answer);
  }
}

void ask_line(Call& call) { ask_line_or_password(call, false); }
void ask_password(Call& call) { ask_line_or_password(call, true); }

// AskItemList and AskFileText share the checks, the list and the answer.
void ask_from_list(Call& call, const std::vector<std::u16string>* fileLines) {
  const int sorted = call.args[3].i, mode = call.args[4].i;
  if (sorted != 0 && sorted != 1) { fail(call.c, errs::kAskBoxBadSorted); return; }
  if (mode < kSingle || mode > kExtended) { fail(call.c, errs::kAskBoxBadMultiple); return; }
  char16_t delimiter = u'\t';
  if (call.count >= 5 && !read_delimiter(text_of(call, 5), delimiter)) { fail(call.c, errs::kBadDelimiterChar); return; }
  ListRequest r{text_of(call, 1), fileLines ? *fileLines : split_items(text_of(call, 2), delimiter), mode};
  if (sorted) sort_items(r.items);
  std::vector<std::size_t> chosen;
  if (!answered(call.c, list_box(call.c, r, chosen))) return;
  std::u16string answer;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    if (i) answer += delimiter;
    if (chosen[i] < r.items.size()) answer += r.items[chosen[i]];
  }
  result_in_width(call, answer);
}

void ask_item_list(Call& call) { ask_from_list(call, nullptr); }

void ask_file_text(Call& call) {
  const std::u16string name = text_of(call, 2);
  std::vector<std::u16string> lines;
  if (!read_file_lines(name, lines)) lines = {u"Error opening/finding file:", name};
  ask_from_list(call, &lines);
}

void ask_text_box(Call& call) {
  TextRequest r{text_of(call, 1), text_of(call, 2), text_of(call, 3), (call.args[4].i & 1) == 0};
  std::u16string answer;
  if (!answered(call.c, text_box(call.c, r, answer))) return;
  strings::set_result(call, std::u16string_view(answer));
}

}  // namespace
}  // namespace orv::ui

namespace orv {

void register_box_functions(HandlerTable& t) {
  t.add(kw::fn_message, ui::message);
  t.add(kw::fn_pause, ui::pause);
  t.add(kw::fn_terminate, ui::terminate);
  t.add(kw::fn_askyesno, ui::ask_yes_no);
  t.add(kw::fn_askline, ui::ask_line);
  t.add(kw::fn_askpassword, ui::ask_password);
  t.add(kw::fn_askitemlist, ui::ask_item_list);
  t.add(kw::fn_askfiletext, ui::ask_file_text);
  t.add(kw::fn_asktextbox, ui::ask_text_box);
}

}  // namespace orv
