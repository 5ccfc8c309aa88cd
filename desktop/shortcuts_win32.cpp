// ShortcutMake, ShortcutEdit, ShortcutInfo, ShortcutExtra and ShortcutDir:
// shortcut files through the shell's link object, special folders by name.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "builtins/families.h"
#include "com/com_win32.h"
#include "desktop/com_ptr_win32.h"
#include "desktop/desktop_groups.h"
#include "desktop/shortcut_text.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "winauto/call_support.h"
#include "winauto/win32_text.h"

namespace orv::desktop {
namespace {

using winauto::text_arg;
using winauto::wide;

std::string shown_name(std::u16string_view name) { return winauto::to_utf8(name); }

std::string status_text(HRESULT hr) {
  return "0x" + int_to_text(static_cast<std::uint32_t>(hr), 16);
}

// A shortcut file loaded into (or to be saved from) the shell's link object.
class LinkFile {
 public:
  bool create(Context& c) {
    if (!com::state_of(c).ready(c)) return false;
    const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link_.out_void());
    if (FAILED(hr) || FAILED(link_->QueryInterface(IID_IPersistFile, file_.out_void())))
      return fail(c, errs::kShellLinkUnavailable, status_text(hr));
    return true;
  }
  bool load(Context& c, const std::u16string& path) {
    if (!create(c)) return false;
    if (GetFileAttributesW(wide(path).c_str()) == INVALID_FILE_ATTRIBUTES ||
        FAILED(file_->Load(wide(path).c_str(), STGM_READ)))
      return fail(c, errs::kShortcutNotFound, shown_name(path));
    // Some link objects do not take the show command over from the file.
    std::string bytes, ansiPath;
    platform::utf16_to_ansi(path, ansiPath);
    if (platform::read_whole_file(ansiPath, bytes) == platform::FileStatus::ok)
      if (const std::optional<int> show = link_file_show_command(bytes)) link_->SetShowCmd(*show);
    return true;
  }
  bool save(Context& c, const std::u16string& path) {
    const HRESULT hr = file_->Save(wide(path).c_str(), TRUE);
    if (FAILED(hr)) return fail(c, errs::kShortcutSaveFailed, shown_name(path) + " " + status_text(hr));
    return true;
  }
  IShellLinkW* operator->() const { return link_.get(); }

 private:
  ComPtr<IShellLinkW> link_;
  ComPtr<IPersistFile> file_;
};

std::u16string link_text(HRESULT (STDMETHODCALLTYPE IShellLinkW::*get)(LPWSTR, int), IShellLinkW* link) {
  std::wstring buffer(MAX_PATH * 4, L'\0');
  if (FAILED((link->*get)(buffer.data(), static_cast<int>(buffer.size())))) return {};
  buffer.resize(wcslen(buffer.c_str()));
  return winauto::u16(buffer);
}

std::u16string link_target(IShellLinkW* link) {
  std::wstring buffer(MAX_PATH * 4, L'\0');
  if (FAILED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_RAWPATH))) return {};
  buffer.resize(wcslen(buffer.c_str()));
  return winauto::u16(buffer);
}

// Target, parameters, start folder and show command: what Make and Edit set.
void set_main_fields(Call& call, LinkFile& link, int show, bool keepEmptyTarget) {
  const std::u16string target = text_arg(call, 2);
  if (!target.empty() || !keepEmptyTarget) link->SetPath(wide(target).c_str());
  link->SetArguments(wide(text_arg(call, 3)).c_str());
  link->SetWorkingDirectory(wide(text_arg(call, 4)).c_str());
  link->SetShowCmd(show);
}

// The show mode argument as a show command; none with 4410 set.
std::optional<int> show_argument(Call& call, int k) {
  const int mode = call.args[static_cast<std::size_t>(k)].i;
  const std::optional<int> show = show_command(mode);
  if (!show) fail(call.c, errs::kShortcutBadShowMode, int_to_text(mode));
  return show;
}

constexpr int kRefuseExisting = 1;   // ShortcutMake flag: an existing file is not replaced

void shortcut_make(Call& call) {
  const std::u16string path = text_arg(call, 1);
  const std::optional<int> show = show_argument(call, 5);
  if (!show) return;
  const int flags = call.count >= 6 ? call.args[6].i : 0;
  if ((flags & kRefuseExisting) && GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    fail(call.c, errs::kShortcutExists, shown_name(path));
    return;
  }
  LinkFile link;
  if (!link.create(call.c)) return;
  set_main_fields(call, link, *show, false);
  if (!link.save(call.c, path)) return;
  make_int(call.result, 1);
}

void shortcut_edit(Call& call) {
  const std::u16string path = text_arg(call, 1);
  const std::optional<int> show = show_argument(call, 5);
  if (!show) return;
  LinkFile link;
  if (!link.load(call.c, path)) return;
  set_main_fields(call, link, *show, true);
  if (!link.save(call.c, path)) return;
  make_int(call.result, 1);
}

void shortcut_info(Call& call) {
  const std::u16string path = text_arg(call, 1);
  LinkFile link;
  if (!link.load(call.c, path)) return;
  int show = SW_SHOWNORMAL, iconIndex = 0;
  WORD hotkey = 0;
  link->GetShowCmd(&show);
  link->GetHotkey(&hotkey);
  std::wstring icon(MAX_PATH * 4, L'\0');
  if (FAILED(link->GetIconLocation(icon.data(), static_cast<int>(icon.size()), &iconIndex))) icon.clear();
  icon.resize(wcslen(icon.c_str()));
  const std::string hot = hotkey_text(hotkey);
  const std::u16string fields[] = {
      link_target(link.operator->()),
      link_text(&IShellLinkW::GetArguments, link.operator->()),
      link_text(&IShellLinkW::GetWorkingDirectory, link.operator->()),
      winauto::u16(std::to_wstring(show_mode(show))),
      std::u16string(hot.begin(), hot.end()),
      winauto::u16(icon),
      winauto::u16(std::to_wstring(iconIndex)),
      link_text(&IShellLinkW::GetDescription, link.operator->()),
  };
  std::u16string out;
  for (const std::u16string& f : fields) {
    if (&f != fields) out += u'\t';
    out += f;
  }
  winauto::text_result(call, out);
}

void shortcut_extra(Call& call) {
  const std::u16string path = text_arg(call, 1);
  const std::string hotText = winauto::to_utf8(text_arg(call, 2));
  const std::optional<std::uint16_t> hotkey = parse_hotkey(hotText);
  if (!hotkey) {
    fail(call.c, errs::kShortcutBadHotkey, hotText);
    return;
  }
  const int mode = call.args[3].i;
  const std::optional<int> show = mode == 0 ? std::optional<int>(0) : show_argument(call, 3);
  if (!show) return;
  LinkFile link;
  if (!link.load(call.c, path)) return;
  link->SetHotkey(*hotkey);
  if (mode != 0) link->SetShowCmd(*show);
  const std::u16string icon = text_arg(call, 4);
  if (!icon.empty()) link->SetIconLocation(wide(icon).c_str(), call.args[5].i);
  link->SetDescription(wide(text_arg(call, 6)).c_str());
  if (link.save(call.c, path)) make_int(call.result, 1);
}

void shortcut_dir(Call& call) {
  const std::string name = winauto::to_utf8(text_arg(call, 1));
  const std::optional<SpecialFolder> folder = special_folder(name);
  if (!folder) {
    fail(call.c, errs::kShortcutDirUnknown, name);
    return;
  }
  const bool allUsers = call.count >= 2 && call.args[2].i != 0;
  const bool trailing = call.count < 3 || call.args[3].i != 0;
  const int id = allUsers && folder->allUsers >= 0 ? folder->allUsers : folder->user;
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer)) || !buffer[0]) {
    fail(call.c, errs::kNoSuchSystemFolder, name);
    return;
  }
  std::u16string path = winauto::u16(buffer);
  if (trailing && path.back() != u'\\') path += u'\\';
  if (!trailing && path.size() > 3 && path.back() == u'\\') path.pop_back();
  winauto::text_result(call, path);
}

}  // namespace

void register_shortcuts(HandlerTable& t) {
  t.add(kw::fn_shortcutmake, shortcut_make);
  t.add(kw::fn_shortcutedit, shortcut_edit);
  t.add(kw::fn_shortcutinfo, shortcut_info);
  t.add(kw::fn_shortcutextra, shortcut_extra);
  t.add(kw::fn_shortcutdir, shortcut_dir);
}

}  // namespace orv::desktop
