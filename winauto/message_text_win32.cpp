// MsgTextGet: the text of a message box found by its title. A message box is
// a dialog-class window; its text is the first static control that shows
// text rather than an icon.
#include <windows.h>

#include "builtins/dispatch.h"
#include "engine/keyword_ids.h"
#include "winauto/call_support.h"
#include "winauto/title_pattern.h"
#include "winauto/window_find_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

bool has_class(HWND w, const wchar_t* name) {
  wchar_t cls[64] = {};
  return GetClassNameW(w, cls, static_cast<int>(std::size(cls))) > 0 && lstrcmpiW(cls, name) == 0;
}

struct BoxSearch {
  std::u16string pattern;
  HWND box = nullptr;
  std::u16string text;
};

BOOL CALLBACK find_box(HWND w, LPARAM p) {
  auto& s = *reinterpret_cast<BoxSearch*>(p);
  if (!has_class(w, kDialogClass) || !IsWindowVisible(w)) return TRUE;
  if (!title_matches<char16_t>(window_title(w), s.pattern)) return TRUE;
  s.box = w;
  return FALSE;
}

BOOL CALLBACK find_text(HWND w, LPARAM p) {
  auto& s = *reinterpret_cast<BoxSearch*>(p);
  if (!has_class(w, L"Static")) return TRUE;
  const LONG style = GetWindowLongW(w, GWL_STYLE);
  const LONG kind = style & SS_TYPEMASK;
  if (kind == SS_ICON || kind == SS_BITMAP || kind == SS_ENHMETAFILE) return TRUE;
  std::u16string text = window_title(w, 20050);
  if (text.empty()) return TRUE;
  s.text = std::move(text);
  return FALSE;
}

// The empty text when no such box is up (or no display to hold one).
void msg_text_get(Call& call) {
  BoxSearch s;
  s.pattern = text_arg(call, 1);
  if (display_available() && !s.pattern.empty()) {
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&s));
    if (s.box) EnumChildWindows(s.box, find_text, reinterpret_cast<LPARAM>(&s));
  }
  text_result(call, s.text);
}

}  // namespace

void register_message_text(HandlerTable& t) { t.add(kw::fn_msgtextget, msg_text_get); }

}  // namespace orv::winauto
