// SendMenusTo and SendMenusToEx: choose a window's menu item by its path of
// captions, as a user would click through the menus. The live menu is read
// where the system lets us (our own windows; any window on Windows); where it
// does not (another process's menu under Wine), the menu templates in the
// program's file stand in for it, the first that holds the path winning.
#include <windows.h>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/text_case.h"
#include "winauto/call_support.h"
#include "winauto/menu_path.h"
#include "winauto/win32_text.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {
namespace {

constexpr int kMaxLiveMenuDepth = 16;

bool read_live_menu(HMENU menu, std::vector<MenuNode>& out, int depth) {
  const int count = GetMenuItemCount(menu);
  if (count < 0 || depth > kMaxLiveMenuDepth) return false;
  for (int i = 0; i < count; ++i) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 511;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return false;
    MenuNode node;
    node.caption = u16(text);
    node.id = info.wID;
    node.separator = (info.fType & MFT_SEPARATOR) != 0;
    node.disabled = (info.fState & MFS_DISABLED) != 0;
    node.popup = info.hSubMenu != nullptr;
    if (node.popup && !read_live_menu(info.hSubMenu, node.items, depth + 1)) return false;
    out.push_back(std::move(node));
  }
  return true;
}

struct TemplateSearch {
  const std::vector<std::u16string>* path;
  std::vector<MenuNode> menu;     // the template that holds the path
  bool found = false;
};

void fold_captions(std::vector<MenuNode>& nodes) {
  for (MenuNode& n : nodes) {
    platform::lower_utf16(n.caption);
    fold_captions(n.items);
  }
}

BOOL CALLBACK search_menu_template(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* s = reinterpret_cast<TemplateSearch*>(param);
  HRSRC found = FindResourceW(module, name, reinterpret_cast<LPCWSTR>(RT_MENU));
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return TRUE;
  auto menu = parse_menu_template(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found));
  if (!menu) return TRUE;
  fold_captions(*menu);
  if (!find_menu_item(*menu, *s->path)) return TRUE;
  s->menu = std::move(*menu);
  s->found = true;
  return FALSE;
}

// Owns a program file loaded only for its resources.
class ResourceFile {
 public:
  explicit ResourceFile(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceFile() { if (module_) FreeLibrary(module_); }
  ResourceFile(const ResourceFile&) = delete;
  ResourceFile& operator=(const ResourceFile&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

void send_menus(Call& call, char16_t delimiter) {
  HWND w = window_arg(call, 1, errs::kWindowNotFound);
  if (!w) return;
  auto path = split_menu_path(text_arg(call, 2), delimiter);
  if (!path) { fail(call.c, errs::kMenuPathEmpty); return; }
  for (std::u16string& part : *path) platform::lower_utf16(part);
  // Let the program bring its menu up to date, as a click on the bar would.
  HMENU bar = GetMenu(w);
  DWORD_PTR ignored = 0;
  if (bar) SendMessageTimeoutW(w, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0, SMTO_ABORTIFHUNG, 2000, &ignored);
  std::vector<MenuNode> menu;
  bool readable = bar && read_live_menu(bar, menu, 0);
  if (readable) fold_captions(menu);
  if (!readable && bar) {
    TemplateSearch search{&*path, {}, false};
    ResourceFile file(wide(executable_of(call.c, w)));
    if (file.get())
      EnumResourceNamesW(file.get(), reinterpret_cast<LPCWSTR>(RT_MENU), search_menu_template,
                         reinterpret_cast<LONG_PTR>(&search));
    readable = search.found;
    if (!readable) { fail(call.c, errs::kMenuItemNotFound); return; }
    menu = std::move(search.menu);
  }
  if (!readable) { fail(call.c, errs::kWindowHasNoMenu); return; }
  const MenuNode* item = find_menu_item(menu, *path);
  if (!item) { fail(call.c, errs::kMenuItemNotFound); return; }
  if (item->popup) { fail(call.c, errs::kMenuPathIsPopup); return; }
  if (item->disabled) { fail(call.c, errs::kMenuItemDisabled); return; }
  PostMessageW(w, WM_COMMAND, MAKEWPARAM(item->id, 0), 0);
  after_post(call.c);
  make_int(call.result, 1);
}

void send_menus_to(Call& call) { send_menus(call, u'|'); }

void send_menus_to_ex(Call& call) {
  const std::u16string delimiter = text_arg(call, 3);
  if (delimiter.size() != 1) { fail(call.c, errs::kMenuBadDelimiter); return; }
  send_menus(call, delimiter[0]);
}

}  // namespace

void register_menus(HandlerTable& t) {
  t.add(kw::fn_sendmenusto, send_menus_to);
  t.add(kw::fn_sendmenustoex, send_menus_to_ex);
}

}  // namespace orv::winauto
