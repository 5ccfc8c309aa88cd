// Commands on one window found by name: activate, close, hide, show, iconize,
// zoom, retitle; and the queries of one window: state, existence, program,
// console test, ids. Commands to other programs' windows are posted system
// commands; the own window is changed directly.
#include <windows.h>
#include <tlhelp32.h>

#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/evaluator.h"
#include "engine/keyword_ids.h"
#include "engine/keywords.h"
#include "engine/tokenizer.h"
#include "engine/value_ops.h"
#include "winauto/call_support.h"
#include "winauto/title_pattern.h"
#include "winauto/win32_text.h"
#include "winauto/window_enum_win32.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"

namespace orv::winauto {

HWND window_arg(Call& call, int k, std::uint16_t notFound) {
  HWND window = find_window(call.c, text_arg(call, k), wait_count(call.c));
  if (!window && !failed(call.c)) fail(call.c, notFound);
  return window;
}

HWND child_arg(Call& call, HWND& parent) {
  HWND child = find_child(call.c, text_arg(call, 1), text_arg(call, 2), wait_count(call.c), &parent);
  if (failed(call.c)) return nullptr;
  if (!parent) fail(call.c, errs::kWindowNotFound);
  else if (!child) fail(call.c, errs::kActivateChildNotFound);
  return child;
}

std::u16string executable_of(Context& c, HWND w) {
  wchar_t path[MAX_PATH] = {};
  if (w == own_window(c)) {
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return u16(path);
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (!pid) return {};
  if (Handle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)}; process.get()) {
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameW(process.get(), 0, path, &size)) return u16(path);
  }
  Handle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid)};
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  if (snapshot.get() == INVALID_HANDLE_VALUE || !Module32FirstW(snapshot.get(), &module)) return {};
  if (lstrcmpiW(module.szModule, L"KERNEL32.DLL") == 0) return u"(16-bit application)";
  return u16(module.szExePath);
}

namespace {

void win_activate(Call& call) {
  if (HWND w = window_arg(call, 1, errs::kWindowNotFound)) {
    activate_window(call.c, w);
    make_int(call.result, 1);
  }
}

// The window handle for a DllCall argument: by title pattern or window id, ""
// for the own window; 0 when there is no such window (nothing waits for one).
void dll_hwnd(Call& call) {
  HWND w = find_window(call.c, text_arg(call, 1), 0);
  if (failed(call.c)) return;
  make_int(call.result, static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(w)));
}

void win_close(Call& call) {
  HWND w = window_arg(call, 1, errs::kWinCloseNotFound);
  if (!w) return;
  if (w != own_window(call.c)) post_system_command(call.c, w, SC_CLOSE);
  make_int(call.result, 1);
}

void win_hide(Call& call) {
  if (HWND w = window_arg(call, 1, errs::kWinHideNotFound)) {
    ShowWindow(w, SW_HIDE);
    make_int(call.result, 1);
  }
}

void win_iconize(Call& call) {
  HWND w = window_arg(call, 1, errs::kWinIconizeNotFound);
  if (!w) return;
  if (w == own_window(call.c)) ShowWindow(w, SW_SHOWMINNOACTIVE);
  else if (!IsIconic(w)) post_system_command(call.c, w, SC_MINIMIZE);
  make_int(call.result, 1);
}

void win_zoom(Call& call) {
  HWND w = window_arg(call, 1, errs::kWinZoomNotFound);
  if (!w) return;
  if (w == own_window(call.c)) ShowWindow(w, SW_SHOWMAXIMIZED);
  else if (!IsZoomed(w)) post_system_command(call.c, w, SC_MAXIMIZE);
  make_int(call.result, 1);
}

void win_show(Call& call) {
  HWND w = window_arg(call, 1, errs::kWinShowNotFound);
  if (!w) return;
  if (w == own_window(call.c)) ShowWindow(w, SW_SHOWNOACTIVATE);
  else if (!IsWindowVisible(w)) ShowWindow(w, SW_SHOW);
  else post_system_command(call.c, w, SC_RESTORE);
  make_int(call.result, 1);
}

void win_title(Call& call) {
  if (HWND w = window_arg(call, 1, errs::kWinTitleNotFound)) {
    SetWindowTextW(w, wide(text_arg(call, 2)).c_str());
    make_int(call.result, 1);
  }
}

void win_state(Call& call) {
  HWND w = find_window(call.c, text_arg(call, 1), 0);
  int state = 0;
  if (w) state = !IsWindowVisible(w) ? -1 : IsZoomed(w) ? 3 : IsIconic(w) ? 1 : 2;
  make_int(call.result, state);
}

void win_exist(Call& call) { make_int(call.result, find_window(call.c, text_arg(call, 1), 0) ? 1 : 0); }

void win_exe_name(Call& call) {
  if (HWND w = window_arg(call, 1, errs::kWinExeNameNotFound)) text_result(call, executable_of(call.c, w));
}

void win_is_dos(Call& call) {
  HWND w = find_window(call.c, text_arg(call, 1), wait_count(call.c));
  if (!w || !IsWindow(w)) {
    make_int(call.result, 0);
    fail(call.c, errs::kWinIsDosNotFound);
    return;
  }
  make_int(call.result, is_console_window(w) ? 1 : 0);
}

// Immersive processes do not exist on the systems this runs on: found or not, 0.
void win_is_runtime_app(Call& call) {
  if (window_arg(call, 1, errs::kWindowNotFound)) make_int(call.result, 0);
}

void win_get_active(Call& call) {
  HWND w = GetForegroundWindow();
  text_result(call, w ? window_title(w) : std::u16string());
}

void win_name(Call& call) {
  HWND w = own_window(call.c);
  text_result(call, w ? window_title(w) : std::u16string());
}

std::u16string id_text(HWND w) {
  const std::string id = make_window_id(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(w)));
  return std::u16string(id.begin(), id.end());
}

void win_id_get(Call& call) {
  const std::u16string child = text_arg(call, 2);
  HWND w = child.empty() ? find_window(call.c, text_arg(call, 1), wait_count(call.c))
                         : find_child(call.c, text_arg(call, 1), child, wait_count(call.c), nullptr);
  if (!w) {
    if (!failed(call.c)) fail(call.c, errs::kWinIdGetNotFound);
    return;
  }
  text_result(call, id_text(w));
}

void win_id_convert(Call& call) {
  Operand& v = call.args[1];
  if (v.flags & (vf::kStr | vf::kWide)) {
    std::u16string text = text_arg(call, 1);
    auto handle = parse_window_id<char16_t>(text);
    const std::string number = handle ? std::to_string(*handle) : "0";
    text_result(call, std::u16string(number.begin(), number.end()));
  } else if (v.flags & vf::kInt) {
    text_result(call, id_text(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(v.i)))));
  } else {
    text_result(call, u"");
  }
}

// Reads the argument list itself: every argument names a window to spare.
void win_close_not(Call& call) {
  Context& c = call.c;
  EnumState state(c);
  get_token(c);
  if (failed(c)) return;
  while (!is_keyword(c, id::kRParen)) {
    Temp arg(c);
    if (!process_sub_expression(c, arg.op(), false, false)) return;
    if (arg->flags & vf::kWide) {
      state.spared.emplace_back(wstr_view(c, arg.op()));
    } else {
      if (!(arg->flags & vf::kStr) && !to_string(c, arg.op())) { fail(c, errs::kNotConvertibleToString); return; }
      if (!(arg->flags & vf::kStr)) { fail(c, errs::kNotConvertibleToString); return; }
      std::u16string w;
      platform::ansi_to_utf16(str_of(c, arg.op()), w);
      state.spared.push_back(std::move(w));
    }
    if (is_keyword(c, id::kRParen)) break;
    if (!is_keyword(c, id::kComma)) { fail(c, errs::kWinCloseNotSyntax); return; }
    get_token(c);
    if (failed(c)) return;
  }
  EnumWindows(WinEnumClose, reinterpret_cast<LPARAM>(&state));
  for (int i = 0; i < state.closed; ++i) after_post(c);
  make_int(call.result, 1);
}

}  // namespace

void register_window_commands(HandlerTable& t) {
  t.add(kw::fn_winactivate, win_activate);
  t.add(kw::fn_dllhwnd, dll_hwnd);
  t.add(kw::fn_winclose, win_close);
  t.add(kw::fn_winhide, win_hide);
  t.add(kw::fn_winiconize, win_iconize);
  t.add(kw::fn_winzoom, win_zoom);
  t.add(kw::fn_winshow, win_show);
  t.add(kw::fn_wintitle, win_title);
  t.add(kw::fn_winstate, win_state);
  t.add(kw::fn_winexist, win_exist);
  t.add(kw::fn_winexename, win_exe_name);
  t.add(kw::fn_winisdos, win_is_dos);
  t.add(kw::fn_winisruntimeapp, win_is_runtime_app);
  t.add(kw::fn_wingetactive, win_get_active);
  t.add(kw::fn_winname, win_name);
  t.add(kw::fn_winidget, win_id_get);
  t.add(kw::fn_winidconvert, win_id_convert);
  t.add(kw::fn_winclosenot, win_close_not);
}

}  // namespace orv::winauto
