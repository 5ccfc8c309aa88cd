// The Run family, RunShell, RunEnviron, RunWithLogon, ShellExecute(Wait) and
// RunExit. One launch routine tries the command-line forms in order (App Paths,
// quoted, the file type's open command, a shortcut) and keeps the error of the
// most telling attempt for the report.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "builtins/dispatch.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/messages.h"
#include "engine/value_ops.h"
#include "platform/platform.h"
#include "winauto/call_support.h"
#include "winauto/command_line.h"
#include "winauto/winauto_groups.h"
#include "winauto/win32_text.h"

namespace orv::winauto {
namespace {

constexpr DWORD kElevationRequired = 740;

struct LaunchRequest {
  std::string program, params, dir;   // UTF-8
  int display = launch::kNormal;
  int wait = launch::kNoWait;
  // RunWithLogon only.
  bool logon = false;
  std::u16string user, domain, password;
  DWORD logonFlags = 0;
};

struct Attempt {
  DWORD error = 0;
  std::string commandLine;
};

struct Started {
  Handle process, thread;
  DWORD pid = 0;
};

class RegKey {
 public:
  RegKey(HKEY root, const std::wstring& path) {
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegKey() { if (key_) RegCloseKey(key_); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  // A string value (expanded when of the expandable type); nothing when absent or empty.
  std::optional<std::wstring> text(const wchar_t* name) const {
    if (!key_) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
      return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (type == REG_EXPAND_SZ) {
      wchar_t expanded[MAX_PATH * 4];
      const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded, static_cast<DWORD>(std::size(expanded)));
      if (n > 0 && n <= std::size(expanded)) value = expanded;
    }
    if (value.empty()) return std::nullopt;
    return value;
  }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

// Puts a directory in front of PATH while a program starts; restores PATH always.
class PathPrefix {
 public:
  explicit PathPrefix(const std::wstring& prefix) {
    const DWORD n = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    had_ = n > 0;
    if (had_) {
      old_.resize(n);
      old_.resize(GetEnvironmentVariableW(L"PATH", old_.data(), n));
    }
    if (prefix.empty() || prefix.size() > 200 || old_.rfind(prefix, 0) == 0) return;
    changed_ = true;
    SetEnvironmentVariableW(L"PATH", (prefix + L";" + old_).c_str());
  }
  ~PathPrefix() {
    if (changed_) SetEnvironmentVariableW(L"PATH", had_ ? old_.c_str() : nullptr);
  }
  PathPrefix(const PathPrefix&) = delete;
  PathPrefix& operator=(const PathPrefix&) = delete;

 private:
  std::wstring old_;
  bool had_ = false, changed_ = false;
};

bool same_file(const std::wstring& a, const std::wstring& b) {
  wchar_t fa[MAX_PATH], fb[MAX_PATH];
  if (!GetFullPathNameW(a.c_str(), MAX_PATH, fa, nullptr) || !GetFullPathNameW(b.c_str(), MAX_PATH, fb, nullptr))
    return false;
  return lstrcmpiW(fa, fb) == 0;
}

// Starts one command line; the error of the attempt is kept either way.
bool start_process(Context& c, const LaunchRequest& r, const std::string& line, Attempt& attempt, Started& out) {
  attempt.commandLine = line;
  std::wstring command = from_utf8(line);
  std::wstring dir = from_utf8(r.dir);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  si.wShowWindow = static_cast<WORD>(show_command(r.display).value_or(SW_SHOWNORMAL));
  PROCESS_INFORMATION pi{};
  const DWORD flags = static_cast<DWORD>(c.intSettings[51]);
  BOOL ok;
  if (r.logon) {
    using LogonFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                  LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    auto fn = reinterpret_cast<LogonFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "CreateProcessWithLogonW")));
    if (!fn) {
      attempt.error = ERROR_PROC_NOT_FOUND;
      return false;
    }
    std::wstring user = wide(r.user), domain = wide(r.domain), password = wide(r.password);
    auto call = [&](const std::wstring& dom, const wchar_t* pw) {
      std::wstring cmd = command;   // the service may write into it
      return fn(user.c_str(), dom.c_str(), pw, r.logonFlags, nullptr, cmd.data(), flags, nullptr,
                dir.empty() ? nullptr : dir.c_str(), &si, &pi);
    };
    ok = call(domain, password.c_str());
    DWORD err = ok ? 0 : GetLastError();
    if (!ok && (err == ERROR_LOGON_FAILURE || err == ERROR_NO_LOGON_SERVERS) && domain == L".") {
      wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
      DWORD size = std::size(computer);
      if (GetComputerNameW(computer, &size)) ok = call(computer, password.c_str());
      err = ok ? 0 : GetLastError();
    }
    if (!ok && err == ERROR_LOGON_FAILURE && password.empty()) ok = call(domain, nullptr);
  } else {
    ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi);
  }
  if (!ok) {
    attempt.error = GetLastError();
    return false;
  }
  out.process.reset(pi.hProcess);
  out.thread.reset(pi.hThread);
  out.pid = pi.dwProcessId;
  return true;
}

// Attempt 1: the program registered under App Paths.
bool try_app_paths(Context& c, const LaunchRequest& r, Attempt& attempt, Started& out) {
  const ProgramParts parts = split_program(r.program);
  for (const std::string& name : app_paths_keys(r.program)) {
    RegKey key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + from_utf8(name));
    if (!key) continue;
    std::optional<std::wstring> path = key.text(nullptr);
    if (!path) return false;
    if (!parts.dir.empty() && !same_file(from_utf8(r.program), *path)) return false;
    std::optional<std::wstring> extra = key.text(L"Path");
    PathPrefix prefix(extra.value_or(L""));
    return start_process(c, r, quoted_command(to_utf8(u16(*path)), r.params), attempt, out);
  }
  return false;
}

// The open command of a file type, from the class the extension names or the
// extension's own key.
std::optional<std::wstring> open_command(const std::string& ext) {
  const std::wstring dotted = L"." + from_utf8(ext);
  if (std::optional<std::wstring> cls = RegKey(HKEY_CLASSES_ROOT, dotted).text(nullptr))
    if (auto cmd = RegKey(HKEY_CLASSES_ROOT, *cls + L"\\shell\\open\\command").text(nullptr)) return cmd;
  return RegKey(HKEY_CLASSES_ROOT, dotted + L"\\shell\\open\\command").text(nullptr);
}

// Attempt 4: a document started through its type's open command.
bool try_association(Context& c, const LaunchRequest& r, Attempt& attempt, Started& out) {
  const ProgramParts parts = split_program(r.program);
  std::optional<std::string> line;
  if (std::optional<std::wstring> cmd = open_command(parts.ext)) {
    line = association_command(to_utf8(u16(*cmd)), r.program, r.params);
  } else {
    wchar_t exe[MAX_PATH] = {};
    const std::wstring doc = from_utf8(r.program), dir = from_utf8(r.dir);
    if (reinterpret_cast<INT_PTR>(FindExecutableW(doc.c_str(), dir.empty() ? nullptr : dir.c_str(), exe)) <= 32) {
      attempt.error = ERROR_NO_ASSOCIATION;
      return false;
    }
    line = quoted_command(to_utf8(u16(exe)), r.program + (r.params.empty() ? "" : " " + r.params));
  }
  if (!line) {
    attempt.error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  return start_process(c, r, *line, attempt, out);
}

// Attempt 5: a shortcut of that name on the path, opened by the shell.
bool try_shortcut(const LaunchRequest& r, Attempt& attempt, Started& out) {
  wchar_t found[MAX_PATH];
  const std::wstring program = from_utf8(r.program);
  if (!SearchPathW(nullptr, program.c_str(), L".LNK", MAX_PATH, found, nullptr)) {
    attempt.error = GetLastError();
    return false;
  }
  attempt.commandLine = to_utf8(u16(found));
  const std::wstring params = from_utf8(r.params), dir = from_utf8(r.dir);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = found;
  info.lpParameters = params.empty() ? nullptr : params.c_str();
  info.lpDirectory = dir.empty() ? nullptr : dir.c_str();
  info.nShow = show_command(r.display).value_or(SW_SHOWNORMAL);
  if (!ShellExecuteExW(&info)) {
    attempt.error = GetLastError();
    return false;
  }
  out.process.reset(info.hProcess);
  out.pid = info.hProcess ? GetProcessId(info.hProcess) : 0;
  return true;
}

// Whether a started program runs in a console. Console programs have no input
// to become idle for; some systems would hold the idle wait until they end.
bool is_console_program(HANDLE process) {
  wchar_t path[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return false;
  Handle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return false;
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS32 nt{};
  DWORD got = 0;
  if (!ReadFile(file.get(), &dos, sizeof dos, &got, nullptr) || got != sizeof dos || dos.e_magic != IMAGE_DOS_SIGNATURE)
    return false;
  if (SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  // The subsystem field sits at the same offset in 32- and 64-bit headers.
  if (!ReadFile(file.get(), &nt, sizeof nt, &got, nullptr) || got != sizeof nt || nt.Signature != IMAGE_NT_SIGNATURE)
    return false;
  return nt.OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

bool has_extension(const std::string& program) { return !split_program(program).ext.empty(); }

// Waits for a started program while letting messages and the user break through.
void wait_for_exit(Context& c, HANDLE process) {
  while (MsgWaitForMultipleObjects(1, &process, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
    if (stop_requested(c)) return;
  }
}

void report_failure(Context& c, const Attempt& telling) {
  std::string text;
  platform::utf16_to_ansi(system_error_text(telling.error), text);
  std::string message = "WinExec Error:\n\n    " + text;
  if (telling.error == kElevationRequired) {
    wchar_t host[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, host, MAX_PATH);
    std::string hostName, line;
    platform::utf16_to_ansi(u16(host), hostName);
    platform::utf16_to_ansi(u16(from_utf8(telling.commandLine)), line);
    message += "  " + hostName + " does not have sufficient elevation to run " + line + ".  Use ShellExecute?";
  }
  fail(c, errs::kExecFailed, message);
}

// The shared launch routine; the result goes into `result`.
void run_launch(Context& c, const LaunchRequest& r, Value& result) {
  if (r.wait < launch::kNoWait || r.wait > launch::kGetExitCode) { fail(c, errs::kExecuteBadWait); return; }
  if (!show_command(r.display)) { fail(c, errs::kExecuteBadDisplay); return; }
  const bool wait = r.wait == launch::kWait || r.wait == launch::kGetExitCode;
  c.lastExitCode = launch::kNoExitCode;

  Started started;
  Attempt appPaths, quoted, association, shortcut;
  bool ok = try_app_paths(c, r, appPaths, started);
  if (!ok) ok = start_process(c, r, quoted_command(r.program, r.params), quoted, started);
  if (!ok && quoted.error == ERROR_BAD_EXE_FORMAT && has_extension(r.program))
    ok = try_association(c, r, association, started);
  if (!ok && (quoted.error == ERROR_FILE_NOT_FOUND || quoted.error == ERROR_BAD_EXE_FORMAT))
    ok = try_shortcut(r, shortcut, started);
  if (!ok) {
    const Attempt* telling = &quoted;
    if (association.error) telling = &association;
    else if (_stricmp(split_program(r.program).ext.c_str(), "lnk") == 0 && shortcut.error) telling = &shortcut;
    else if (appPaths.error) telling = &appPaths;
    report_failure(c, *telling);
    return;
  }
  if (started.process.get() && c.intSettings[74] > 0 && !is_console_program(started.process.get()))
    WaitForInputIdle(started.process.get(), static_cast<DWORD>(c.intSettings[74]));
  if (wait && started.process.get()) {
    wait_for_exit(c, started.process.get());
    DWORD code = 0;
    if (GetExitCodeProcess(started.process.get(), &code) && code != STILL_ACTIVE)
      c.lastExitCode = static_cast<std::int32_t>(code);
  }
  if (r.wait == launch::kGetProcId) make_int(result, static_cast<std::int32_t>(started.pid));
  else if (r.wait == launch::kGetExitCode) make_int(result, c.lastExitCode);
  else make_int(result, 1);
}

std::string utf8_arg(const Call& call, int k) { return to_utf8(text_arg(call, k)); }

LaunchRequest basic_request(const Call& call) {
  LaunchRequest r;
  r.program = utf8_arg(call, 1);
  r.params = utf8_arg(call, 2);
  return r;
}

template <int Display, int Wait>
void run_fixed(Call& call) {
  LaunchRequest r = basic_request(call);
  r.display = Display;
  r.wait = Wait;
  run_launch(call.c, r, call.result);
}

void run_shell(Call& call) {
  LaunchRequest r = basic_request(call);
  r.dir = utf8_arg(call, 3);
  r.display = call.args[4].i;
  r.wait = call.args[5].i;
  run_launch(call.c, r, call.result);
}

void run_environ(Call& call) {
  LaunchRequest r = basic_request(call);
  r.display = call.args[3].i;
  r.wait = call.args[4].i;
  run_launch(call.c, r, call.result);
}

void run_with_logon(Call& call) {
  LaunchRequest r = basic_request(call);
  r.dir = utf8_arg(call, 3);
  r.display = call.args[4].i;
  r.wait = call.args[5].i;
  r.logon = true;
  r.user = text_arg(call, 6);
  r.domain = text_arg(call, 7);
  r.password = text_arg(call, 8);
  r.logonFlags = static_cast<DWORD>(call.args[9].i);
  run_launch(call.c, r, call.result);
}

void run_exit(Call& call) { fail(call.c, errs::kRunExitUnsupported); }

struct ShellArgs {
  std::wstring program, params, dir, verb;
  int show = SW_SHOWNORMAL;
};

ShellArgs shell_args(const Call& call) {
  return ShellArgs{wide(text_arg(call, 1)), wide(text_arg(call, 2)), wide(text_arg(call, 3)), wide(text_arg(call, 5)),
                   shell_show_command(call.args[4].i)};
}

const wchar_t* or_null(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

void shell_execute(Call& call) {
  ShellArgs a = shell_args(call);
  if (a.program.empty()) { fail(call.c, errs::kShellExecuteFailed); return; }
  const HINSTANCE h = ShellExecuteW(reinterpret_cast<HWND>(call.c.ownWindow), or_null(a.verb), a.program.c_str(),
                                    or_null(a.params), or_null(a.dir), a.show);
  make_int(call.result, reinterpret_cast<INT_PTR>(h) > 32 ? 1 : 0);
}

void shell_execute_wait(Call& call) {
  ShellArgs a = shell_args(call);
  if (a.program.empty()) { fail(call.c, errs::kShellExecuteFailed); return; }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = reinterpret_cast<HWND>(call.c.ownWindow);
  info.lpVerb = or_null(a.verb);
  info.lpFile = a.program.c_str();
  info.lpParameters = or_null(a.params);
  info.lpDirectory = or_null(a.dir);
  info.nShow = a.show;
  if (!ShellExecuteExW(&info)) {
    report_failure(call.c, Attempt{GetLastError(), to_utf8(u16(a.program))});
    return;
  }
  Handle process(info.hProcess);
  if (process.get()) wait_for_exit(call.c, process.get());
  make_int(call.result, 1);
}

// Print: the document's print verb through the shell. A file type without
// one fails at once (1931); the shell shows no box of its own, so a missing
// association never waits for a user.
void print(Call& call) {
  Context& c = call.c;
  const int display = call.args[3].i, waitFlag = call.args[4].i;
  if (waitFlag < launch::kNoWait || waitFlag > launch::kGetExitCode) { fail(c, errs::kExecuteBadWait); return; }
  const std::optional<int> show = show_command(display);
  if (!show) { fail(c, errs::kExecuteBadDisplay); return; }
  const std::wstring file = wide(text_arg(call, 1)), dir = wide(text_arg(call, 2));
  if (file.empty()) { fail(c, errs::kShellExecuteFailed); return; }
  c.lastExitCode = launch::kNoExitCode;
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = reinterpret_cast<HWND>(c.ownWindow);
  info.lpVerb = L"print";
  info.lpFile = file.c_str();
  info.lpDirectory = or_null(dir);
  info.nShow = *show;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    const auto code = static_cast<std::uint32_t>(reinterpret_cast<INT_PTR>(info.hInstApp));
    const std::uint32_t number = code <= 32 && !message_text(1900 + code).empty() ? 1900 + code : errs::kExecFailed;
    std::string text;
    platform::utf16_to_ansi(system_error_text(error), text);
    fail(c, static_cast<std::uint16_t>(number), "WinExec Error:\n\n    " + text);
    return;
  }
  Handle process(info.hProcess);
  const bool wait = waitFlag == launch::kWait || waitFlag == launch::kGetExitCode;
  if (wait && process.get()) {
    wait_for_exit(c, process.get());
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE)
      c.lastExitCode = static_cast<std::int32_t>(code);
  }
  if (waitFlag == launch::kGetProcId)
    make_int(call.result, process.get() ? static_cast<std::int32_t>(GetProcessId(process.get())) : 0);
  else if (waitFlag == launch::kGetExitCode) make_int(call.result, c.lastExitCode);
  else make_int(call.result, 1);
}

}  // namespace

void register_launch(HandlerTable& t) {
  t.add(kw::fn_run, run_fixed<launch::kNormal, launch::kNoWait>);
  t.add(kw::fn_runhide, run_fixed<launch::kHidden, launch::kNoWait>);
  t.add(kw::fn_runicon, run_fixed<launch::kIcon, launch::kNoWait>);
  t.add(kw::fn_runzoom, run_fixed<launch::kZoomed, launch::kNoWait>);
  t.add(kw::fn_runwait, run_fixed<launch::kNormal, launch::kWait>);
  t.add(kw::fn_runhidewait, run_fixed<launch::kHidden, launch::kWait>);
  t.add(kw::fn_runiconwait, run_fixed<launch::kIcon, launch::kWait>);
  t.add(kw::fn_runzoomwait, run_fixed<launch::kZoomed, launch::kWait>);
  t.add(kw::fn_runshell, run_shell);
  t.add(kw::fn_runenviron, run_environ);
  t.add(kw::fn_runwithlogon, run_with_logon);
  t.add(kw::fn_runexit, run_exit);
  t.add(kw::fn_shellexecute, shell_execute);
  t.add(kw::fn_shellexecutewait, shell_execute_wait);
  t.add(kw::fn_print, print);
}

}  // namespace orv::winauto
