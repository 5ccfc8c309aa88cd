// The menu-host exports: LoadStandardMenu builds a window's menus and hot
// keys from a menu file, ParseStandardMenu hands back the chosen item's
// script, MenuSelectProcessing gives the status-line text of an entry.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/error_numbers.h"
#include "engine/messages.h"
#include "engine/no_throw.h"
#include "api/orv_api.h"
#include "platform/messages_platform.h"
#include "ui/menus/menu_file.h"
#include "ui/menus/menu_status.h"
#include "ui/menus/menu_text.h"

namespace orv::menus {
namespace {

void show_message(HWND window, std::uint16_t number, const std::string& line) {
  std::string text = message_text(number);
  for (char& ch : text)
    if (ch == '~') ch = '\n';
  if (!line.empty()) text += "\n\n" + line;
  MessageBoxA(window, text.c_str(), "Menu file", MB_OK | MB_ICONSTOP);
}

bool dos_date_time(const std::string& path, DWORD& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return false;
  stamp = (static_cast<DWORD>(date) << 16) | time;
  return true;
}

// The latest DOS date and time of the menu file and the files it includes:
// a change to any of them can move item numbers. False when the menu file has none.
bool menu_stamp(const std::string& path, const std::vector<std::string>& included, DWORD& stamp) {
  if (!dos_date_time(path, stamp)) return false;
  for (const std::string& file : included) {
    DWORD when = 0;
    if (dos_date_time(file, when) && when > stamp) stamp = when;
  }
  return true;
}

struct MenuHandle {
  HMENU h = nullptr;
  ~MenuHandle() { if (h) DestroyMenu(h); }
  HMENU release() { HMENU out = h; h = nullptr; return out; }
};

// Builds the entries into `root`; pop-ups nest by level.
bool build(const MenuFile& m, HMENU root, std::uint16_t* hotKeys, int& hotKeyCount, std::uint16_t& message) {
  HMENU parents[5] = {root, nullptr, nullptr, nullptr, nullptr};
  for (const MenuEntry& e : m.entries) {
    HMENU parent = parents[e.level - 1];
    if (!parent) { message = errs::kMenuEndedEarly; return false; }
    const std::string text = e.menu_text();
    if (e.popup) {
      HMENU popup = CreatePopupMenu();
      if (!popup) { message = static_cast<std::uint16_t>(e.level == 1 ? errs::kMenuPopup1Failed : e.level == 2 ? errs::kMenuPopup2Failed : errs::kMenuPopup3Failed); return false; }
      if (!AppendMenuA(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), text.c_str())) {
        DestroyMenu(popup);
        message = errs::kMenuPopup1Failed;
        return false;
      }
      // The pop-up's number travels with its menu, for MenuSelectProcessing.
      MENUINFO info{};
      info.cbSize = sizeof info;
      info.fMask = MIM_MENUDATA;
      info.dwMenuData = static_cast<ULONG_PTR>(e.popupNumber);
      SetMenuInfo(popup, &info);
      parents[e.level] = popup;
      continue;
    }
    if (e.item > 0xEFFF) { message = errs::kMenuTooManyItems; return false; }
    if (!AppendMenuA(parent, MF_STRING, static_cast<UINT_PTR>(e.item), text.c_str())) { message = errs::kMenuTooManyItems; return false; }
    if (e.hotKey.word && hotKeys && hotKeyCount < static_cast<int>(kHotKeysPerMenu)) {
      hotKeys[2 * hotKeyCount] = e.hotKey.word;
      hotKeys[2 * hotKeyCount + 1] = static_cast<std::uint16_t>(e.item);
      ++hotKeyCount;
    }
  }
  return true;
}

bool load(HWND window, const std::string& path, std::string& text, std::vector<std::string>& included) {
  MenuTextFault fault;
  if (!read_menu_text(path, text, fault, &included)) {
    show_message(window, fault.message, fault.detail);
    return false;
  }
  return true;
}

// The number a pop-up got when it was built; 0 for menus not built here.
int popup_number(HMENU parent, UINT index) {
  HMENU popup = parent ? GetSubMenu(parent, static_cast<int>(index)) : nullptr;
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_MENUDATA;
  if (!popup || !GetMenuInfo(popup, &info)) return 0;
  return static_cast<int>(info.dwMenuData);
}

bool copy_text(const std::string& text, char* out, int size) {
  if (!out || size <= 0) return false;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return n > 0;
}

}  // namespace
}  // namespace orv::menus

// Builds the menus of `menuFile`: a menu bar set on `window`, or (asPopup) a
// pop-up menu returned to the caller. `hotKeys` (room for 100 pairs of hot-key
// word and item identifier) and `stamp` (the file's DOS date and time, for
// ParseStandardMenu) may be null. Returns the menu, or 0 after showing the fault.
ORV_EXPORT HMENU ORV_CALL LoadStandardMenu(void* /*context*/, HWND window, const char* menuFile, int asPopup,
                                           unsigned short* hotKeys, int* hotKeyCount, unsigned long* stamp) {
  using namespace orv::menus;
  return orv::export_guard<HMENU>(nullptr, [&]() -> HMENU {
    if (hotKeyCount) *hotKeyCount = 0;
    if (!menuFile) return nullptr;
    std::string text;
    std::vector<std::string> included;
    std::uint16_t message = 0;
    if (!load(window, menuFile, text, included)) return nullptr;
    const MenuFile m = parse_menu(text);
    if (m.message) {
      show_message(window, m.message, m.badText);
      return nullptr;
    }
    MenuHandle menu;
    menu.h = asPopup ? CreatePopupMenu() : CreateMenu();
    if (!menu.h) { show_message(window, orv::errs::kMenuBarFailed, ""); return nullptr; }
    int count = 0;
    if (!build(m, menu.h, hotKeys, count, message)) { show_message(window, message, ""); return nullptr; }
    if (hotKeyCount) *hotKeyCount = count;
    DWORD when = 0;
    if (stamp) *stamp = menu_stamp(menuFile, included, when) ? when : 0;
    if (!asPopup && window && !SetMenu(window, menu.h)) { show_message(window, orv::errs::kMenuBarFailed, ""); return nullptr; }
    return menu.release();
  });
}

// The script of command item `item` in a global memory block the caller
// frees (GlobalFree); 0 on failure; -1 when the file changed since `stamp`.
ORV_EXPORT INT_PTR ORV_CALL ParseStandardMenu(void* /*context*/, HWND window, int item, const char* menuFile,
                                              unsigned long stamp) {
  using namespace orv::menus;
  return orv::export_guard<INT_PTR>(0, [&]() -> INT_PTR {
    if (!menuFile) return 0;
    DWORD now = 0;
    if (!dos_date_time(menuFile, now)) { show_message(window, orv::errs::kMenuFileReopenFailed, menuFile); return 0; }
    std::string text, script;
    std::vector<std::string> included;
    MenuTextFault fault;
    const bool read = read_menu_text(menuFile, text, fault, &included);
    // A changed file (the menu file or one it includes) comes first: its menus are rebuilt.
    if (!menu_stamp(menuFile, included, now) || now != stamp) {
      show_message(window, orv::errs::kMenusReloaded, "");
      return -1;
    }
    if (!read) {
      // Reading is reported with the scan's own numbers; decoding and #include keep theirs.
      const std::uint16_t number =
          fault.message == orv::errs::kMenuFileOpenFailed   ? orv::errs::kMenuFileReopenFailed
          : fault.message == orv::errs::kMenuBuildNoMemory ? orv::errs::kMenuScanNoMemory
          : fault.message == orv::errs::kMenuFileReadFailed ? orv::errs::kMenuFileScanFailed
                                                            : fault.message;
      show_message(window, number, fault.detail);
      return 0;
    }
    const MenuFile m = parse_menu(text);
    if (m.message) { show_message(window, orv::errs::kMenuEndedEarly, m.badText); return 0; }
    if (!item_script(m, item, script)) return 0;
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, script.size() + 1);
    if (!block) { show_message(window, orv::errs::kMenuScanNoMemory, ""); return 0; }
    std::memcpy(block, script.c_str(), script.size() + 1);
    return reinterpret_cast<INT_PTR>(block);
  });
}

// The status-line text of a highlighted entry (WM_MENUSELECT's wParam and
// lParam) of the menus built from menu file `fileLetter` ('A' for the first).
// System-menu commands get their fixed descriptions; items and pop-ups the
// language file's text under "%M<letter><item>" / "%P<letter><pop-up>".
// Returns 1 with `text` filled, or 0 with `text` empty when there is none, so
// the host clears its status line.
ORV_EXPORT int ORV_CALL MenuSelectProcessing(void* /*context*/, HWND /*window*/, WPARAM idAndFlags, LPARAM menu,
                                             char* text, int size, int fileLetter) {
  using namespace orv::menus;
  return orv::export_guard(0, [&] {
    if (text && size > 0) text[0] = '\0';
    const UINT flags = HIWORD(idAndFlags);
    if (flags == 0xFFFF && menu == 0) return 0;   // the menu closed
    if (flags & MF_SYSMENU) {
      static constexpr struct { UINT command; unsigned message; } kSystem[] = {
          {SC_SIZE, orv::errs::kSysMenuSize}, {SC_MOVE, orv::errs::kSysMenuMove}, {SC_MINIMIZE, orv::errs::kSysMenuMinimize},
          {SC_MAXIMIZE, orv::errs::kSysMenuMaximize}, {SC_NEXTWINDOW, orv::errs::kSysMenuNextWindow},
          {SC_PREVWINDOW, orv::errs::kSysMenuPrevWindow}, {SC_CLOSE, orv::errs::kSysMenuClose},
          {SC_VSCROLL, orv::errs::kSysMenuVScroll}, {SC_HSCROLL, orv::errs::kSysMenuHScroll},
          {SC_ARRANGE, orv::errs::kSysMenuArrange}, {SC_RESTORE, orv::errs::kSysMenuRestore},
          {SC_TASKLIST, orv::errs::kSysMenuTaskList}};
      const UINT command = LOWORD(idAndFlags) & 0xFFF0;
      for (const auto& s : kSystem)
        if (s.command == command) return orv::copy_message_text(s.message, text, size) > 0 ? 1 : 0;
      return 0;
    }
    const bool popup = (flags & MF_POPUP) != 0;
    const int number = popup ? popup_number(reinterpret_cast<HMENU>(menu), LOWORD(idAndFlags)) : LOWORD(idAndFlags);
    const std::string found = status_text(popup, static_cast<char>(fileLetter), number,
                                          [](const std::string& name, std::string& out) {
                                            if (!orv::platform::load_language_text(name, out)) return false;
                                            out = orv::expand_message_marks(out);
                                            return true;
                                          });
    return copy_text(found, text, size) ? 1 : 0;
  });
}
