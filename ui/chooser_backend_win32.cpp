// The choosers on Windows: the common file and colour dialogs and the shell's
// folder browser, each owned by the run's window like every box.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>

#include "ui/chooser_backend.h"

namespace orv::ui {
namespace {

const wchar_t* cw(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string from_w(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
HWND chooser_owner(const Context& c) { return reinterpret_cast<HWND>(c.ownWindow); }

// Room for a multiple choice of many files.
constexpr std::size_t kFileAnswerUnits = 65536;

// Brings the system's chooser to the front once it shows, and renames OK and
// Cancel when ButtonNames asked for it.
struct ChooserHook {
  ButtonNames names;
};

void rename_chooser_buttons(HWND dialog, const ButtonNames& names) {
  if (!names.ok.empty()) SetDlgItemTextW(dialog, IDOK, cw(names.ok));
  if (!names.cancel.empty()) SetDlgItemTextW(dialog, IDCANCEL, cw(names.cancel));
}

UINT_PTR CALLBACK file_chooser_hook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* ofn = reinterpret_cast<const OPENFILENAMEW*>(lParam);
    HWND dialog = GetParent(child);
    rename_chooser_buttons(dialog, reinterpret_cast<const ChooserHook*>(ofn->lCustData)->names);
    SetForegroundWindow(dialog);
  }
  return 0;
}

UINT_PTR CALLBACK colour_chooser_hook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* cc = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    rename_chooser_buttons(dialog, reinterpret_cast<const ChooserHook*>(cc->lCustData)->names);
    SetForegroundWindow(dialog);
  }
  return 0;
}

struct FolderState {
  const FolderRequest* request;
  ButtonNames names;
};

int CALLBACK folder_chooser_hook(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* state = reinterpret_cast<const FolderState*>(data);
    if (!state->request->start.empty())
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(cw(state->request->start)));
    rename_chooser_buttons(dialog, state->names);
    // The prompt names the window too, so that it can be found by its title.
    if (!state->request->prompt.empty()) SetWindowTextW(dialog, cw(state->request->prompt));
    SetForegroundWindow(dialog);
  }
  return 0;
}

// An item list of the shell, freed with the shell's allocator.
struct ShellItem {
  LPITEMIDLIST list = nullptr;
  ~ShellItem() {
    if (list) CoTaskMemFree(list);
  }
};

const wchar_t kColourKey[] = L"Software\\Tarnwick\\Settings\\TARNQUIL\\AskColor";

}  // namespace

BoxAnswer file_chooser(Context& c, const FileRequest& r, std::u16string& answer) {
  ChooserHook hook{take_button_names(c)};
  std::u16string buffer(kFileAnswerUnits, u'\0');
  buffer.replace(0, std::min(r.initial.size(), kFileAnswerUnits - 2), r.initial.substr(0, kFileAnswerUnits - 2));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = chooser_owner(c);
  ofn.lpstrFilter = cw(r.filter);
  ofn.lpstrFile = reinterpret_cast<wchar_t*>(buffer.data());
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = r.folder.empty() ? nullptr : cw(r.folder);
  ofn.lpstrTitle = r.title.empty() ? nullptr : cw(r.title);
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  ofn.lpfnHook = file_chooser_hook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&hook);
  if (r.mode == FileMode::save) ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  else ofn.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (r.mode == FileMode::open_multiple) ofn.Flags |= OFN_ALLOWMULTISELECT;
  const BOOL chosen = r.mode == FileMode::save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return CommDlgExtendedError() == 0 ? kBoxCancel : kBoxFailed;
  answer = std::move(buffer);
  return kBoxOk;
}

BoxAnswer folder_chooser(Context& c, const FolderRequest& r, std::u16string& folder) {
  FolderState state{&r, take_button_names(c)};
  ShellItem root;
  if (!r.root.empty() && FAILED(SHParseDisplayName(cw(r.root), nullptr, &root.list, 0, nullptr))) root.list = nullptr;
  wchar_t display[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = chooser_owner(c);
  info.pidlRoot = root.list;
  info.pszDisplayName = display;
  info.lpszTitle = cw(r.prompt);
  info.ulFlags = BIF_RETURNONLYFSDIRS | (r.editBox ? BIF_EDITBOX : 0) | (r.newFolderButton ? BIF_NEWDIALOGSTYLE : 0);
  info.lpfn = folder_chooser_hook;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ShellItem chosen;
  chosen.list = SHBrowseForFolderW(&info);
  BoxAnswer answer = kBoxCancel;
  if (chosen.list) {
    wchar_t path[MAX_PATH] = {};
    answer = SHGetPathFromIDListW(chosen.list, path) ? kBoxOk : kBoxFailed;
    folder = from_w(path);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return answer;
}

BoxAnswer colour_chooser(Context& c, ColourRequest& r, std::uint32_t& chosen) {
  ChooserHook hook{take_button_names(c)};
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = chooser_owner(c);
  cc.rgbResult = r.initial;
  cc.lpCustColors = reinterpret_cast<COLORREF*>(r.custom.data());
  cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
  cc.lpfnHook = colour_chooser_hook;
  cc.lCustData = reinterpret_cast<LPARAM>(&hook);
  if (!ChooseColorW(&cc)) return CommDlgExtendedError() == 0 ? kBoxCancel : kBoxFailed;
  chosen = cc.rgbResult;
  return kBoxOk;
}

namespace {
UINT_PTR CALLBACK font_chooser_hook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* cf = reinterpret_cast<const CHOOSEFONTW*>(lParam);
    rename_chooser_buttons(dialog, reinterpret_cast<const ChooserHook*>(cf->lCustData)->names);
    SetForegroundWindow(dialog);
  }
  return 0;
}
}  // namespace

BoxAnswer font_chooser(Context& c, const FontRequest& r, FontChoice& chosen) {
  ChooserHook hook{take_button_names(c)};
  LOGFONTW font{};
  std::wstring face(r.initial.face.begin(), r.initial.face.end());
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  font.lfHeight = r.initial.points ? -MulDiv(r.initial.points, dpi, 72) : 0;
  font.lfWeight = r.initial.weight;
  font.lfItalic = r.initial.italic;
  font.lfUnderline = r.initial.underline;
  font.lfStrikeOut = r.initial.strikeOut;
  font.lfCharSet = static_cast<BYTE>(r.initial.charSet);
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = chooser_owner(c);
  cf.lpLogFont = &font;
  cf.Flags = CF_SCREENFONTS | CF_ENABLEHOOK | (face.empty() ? 0 : CF_INITTOLOGFONTSTRUCT) |
             (r.effects ? CF_EFFECTS : 0) | (r.list == FontList::fixed_pitch ? CF_FIXEDPITCHONLY : 0) |
             (r.list == FontList::true_type ? CF_TTONLY : 0);
  cf.lpfnHook = font_chooser_hook;
  cf.lCustData = reinterpret_cast<LPARAM>(&hook);
  if (!ChooseFontW(&cf)) return CommDlgExtendedError() == 0 ? kBoxCancel : kBoxFailed;
  const std::u16string chosenFace = from_w(font.lfFaceName);
  chosen.face.clear();
  platform::utf16_to_ansi(chosenFace, chosen.face);
  chosen.points = cf.iPointSize > 0 ? (cf.iPointSize + 5) / 10 : 0;
  chosen.weight = font.lfWeight ? static_cast<int>(font.lfWeight) : 400;
  chosen.italic = font.lfItalic != 0;
  chosen.underline = font.lfUnderline != 0;
  chosen.strikeOut = font.lfStrikeOut != 0;
  chosen.charSet = font.lfCharSet;
  return kBoxOk;
}

void load_custom_colours(const std::u16string& key, std::array<std::uint32_t, 16>& custom) {
  custom.fill(0xFFFFFF);
  if (key.empty()) return;
  DWORD size = sizeof(custom);
  std::array<std::uint32_t, 16> stored{};
  if (RegGetValueW(HKEY_CURRENT_USER, kColourKey, cw(key), RRF_RT_REG_BINARY, nullptr, stored.data(), &size) ==
          ERROR_SUCCESS &&
      size == sizeof(stored))
    custom = stored;
}

void store_custom_colours(const std::u16string& key, const std::array<std::uint32_t, 16>& custom) {
  if (key.empty()) return;
  HKEY hkey = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kColourKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hkey, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(hkey, cw(key), 0, REG_BINARY, reinterpret_cast<const BYTE*>(custom.data()), sizeof(custom));
  RegCloseKey(hkey);
}

}  // namespace orv::ui
