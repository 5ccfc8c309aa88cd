// The modal boxes as the operating system shows them. The Windows back end
// uses message boxes and the dialog templates of the library; the native one
// has no display and fails every box.
#pragma once
#include <string>
#include <vector>

#include "engine/context.h"

namespace orv::ui {

enum BoxAnswer : int { kBoxFailed = 0, kBoxOk = 1, kBoxCancel = 2, kBoxYes = 6, kBoxNo = 7 };
enum class MessageKind { message, pause, yesno };

BoxAnswer message_box(Context& c, const std::u16string& title, const std::u16string& text, MessageKind kind);

struct LineRequest {
  std::u16string title, prompt, initial;
  bool password = false;
  bool guiFont = false;   // the system's default GUI font for all controls
};
BoxAnswer line_box(Context& c, const LineRequest& r, std::u16string& answer);

inline constexpr int kSingle = 2, kMultiple = 3, kExtended = 4;
struct ListRequest {
  std::u16string title;
  std::vector<std::u16string> items;   // shown in this order
  int mode = kSingle;
};
// `selected` gets the chosen rows in list order; kBoxFailed with error 1336
// set when the selection cannot be read.
BoxAnswer list_box(Context& c, const ListRequest& r, std::vector<std::size_t>& selected);

struct TextRequest {
  std::u16string title, prompt, initial;
  bool wrap = true;
};
BoxAnswer text_box(Context& c, const TextRequest& r, std::u16string& answer);

// A box with a text and OK that closes itself after `milliseconds`.
struct DisplayRequest {
  std::u16string title, text;
  unsigned milliseconds = 0;
};
BoxAnswer display_box(Context& c, const DisplayRequest& r);

// The names ButtonNames chose for the next box of a context, taken by the
// box about to show (the box after it shows its own names again).
struct ButtonNames {
  std::u16string ok, cancel;
};
void set_button_names(Context& c, ButtonNames names);
ButtonNames take_button_names(Context& c);

}  // namespace orv::ui
