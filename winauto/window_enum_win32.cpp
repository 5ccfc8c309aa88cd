#include "winauto/window_enum_win32.h"

#include "winauto/title_pattern.h"
#include "winauto/window_find_win32.h"

using namespace orv::winauto;

namespace orv::winauto {

void add_list_entry(EnumState& s, HWND window, const std::u16string& title, int form) {
  const std::string id = make_window_id(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window)));
  const std::u16string idText(id.begin(), id.end());
  if (form == kTitleAndId) {
    s.list += title + u'|' + idText + u'|';
    return;
  }
  if (!s.list.empty()) s.list += s.delimiter;
  s.list += form == kIds ? idText : title;
}

}  // namespace orv::winauto

namespace {
EnumState& state_of(LPARAM p) { return *reinterpret_cast<EnumState*>(p); }
}  // namespace

BOOL CALLBACK WinEnumFuncx(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  const std::u16string title = window_title(window);
  if (title.empty() || is_winoldap(title)) return TRUE;
  if (!title_matches<char16_t>(title, s.pattern)) return TRUE;
  s.found = window;
  return FALSE;
}

BOOL CALLBACK WinEnumDaChild(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  if (s.wanted) {
    if (window != s.wanted) return TRUE;
    s.found = window;
    return FALSE;
  }
  if (!title_matches<char16_t>(window_title(window), s.pattern)) return TRUE;
  s.found = window;
  return FALSE;
}

// Every window with a title (WinItemize, WinItemChild), or those matching the
// pattern under the WinItemizeEx options.
BOOL CALLBACK WinEnumItem(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  const std::u16string title = window_title(window);
  if (title.empty() || is_winoldap(title)) return TRUE;
  if (!s.hidden && !IsWindowVisible(window)) return TRUE;
  if (!s.pattern.empty() && !title_matches<char16_t>(title, s.pattern)) return TRUE;
  add_list_entry(s, window, title, s.returnType);
  return s.multiple ? TRUE : FALSE;
}

BOOL CALLBACK WinEnumItemAndId(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  const std::u16string title = window_title(window);
  if (title.empty() || is_winoldap(title)) return TRUE;
  add_list_entry(s, window, title, kTitleAndId);
  return TRUE;
}

BOOL CALLBACK WinEnumFromProcId(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s.processId) return TRUE;
  const std::u16string title = window_title(window);
  if (title.empty() && !(s.flags & 1)) return TRUE;
  if (!IsWindowVisible(window) && !(s.flags & 2)) return TRUE;
  if (!IsWindowEnabled(window) && !(s.flags & 4)) return TRUE;
  if (is_winoldap(title) && !(s.flags & 8)) return TRUE;
  // Return type 0 lists ids, 1 titles, 2 both.
  add_list_entry(s, window, title, s.returnType == 0 ? kIds : s.returnType == 1 ? kTitles : kTitleAndId);
  return TRUE;
}

BOOL CALLBACK WinEnumClose(HWND window, LPARAM p) {
  EnumState& s = state_of(p);
  if (!IsWindowVisible(window)) return TRUE;
  const std::u16string title = window_title(window, 128);
  if (title.empty() || is_winoldap(title) || window == own_window(s.c)) return TRUE;
  for (const std::u16string& name : s.spared) {
    if (is_window_id<char16_t>(name)) {
      auto handle = parse_window_id<char16_t>(name);
      if (handle && reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*handle)) == window) return TRUE;
    } else if (title_matches<char16_t>(title, name)) {
      return TRUE;
    }
  }
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ++s.closed;
  return TRUE;
}

BOOL CALLBACK WinEnumXXXIcon(HWND window, LPARAM) {
  if (IsIconic(window)) InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}
