// Programs by their executable name: whether one runs, its process id,
// waiting until it ends, and ending a program found by window or by name.
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "platform/text_case.h"
#include "winauto/call_support.h"
#include "winauto/desk_rules.h"
#include "winauto/win32_text.h"
#include "winauto/window_find_win32.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv::winauto {

bool timeout_arg(Call& call, int k, double& seconds);

namespace {

struct RunningProgram {
  DWORD pid = 0;
  std::u16string path;   // the full path where the system tells it, else the file name
};

std::vector<RunningProgram> running_programs() {
  std::vector<RunningProgram> out;
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    RunningProgram p{entry.th32ProcessID, u16(entry.szExeFile)};
    if (Handle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, p.pid)}; process.get()) {
      wchar_t path[MAX_PATH];
      DWORD size = MAX_PATH;
      if (QueryFullProcessImageNameW(process.get(), 0, path, &size)) p.path = u16(std::wstring_view(path, size));
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<DWORD> processes_of(const std::u16string& program) {
  std::u16string wanted = program;
  platform::lower_utf16(wanted);
  std::vector<DWORD> pids;
  for (RunningProgram& p : running_programs()) {
    platform::lower_utf16(p.path);
    if (program_matches(wanted, p.path)) pids.push_back(p.pid);
  }
  return pids;
}

void app_exist(Call& call) { make_int(call.result, processes_of(text_arg(call, 1)).empty() ? 0 : 1); }

void app_proc_id(Call& call) {
  const auto pids = processes_of(text_arg(call, 1));
  make_int(call.result, pids.empty() ? 0 : static_cast<std::int32_t>(pids.front()));
}

// 1 when the program ran and has ended; 0 when it was not running, or still
// runs when the time is up or the user broke the script.
void app_wait_close(Call& call) {
  double timeout;
  if (!timeout_arg(call, 2, timeout)) return;
  const std::u16string program = text_arg(call, 1);
  if (processes_of(program).empty()) { make_int(call.result, 0); return; }
  const DWORD start = GetTickCount();
  for (;;) {
    if (!pumping_wait(call.c, 250)) break;
    if (processes_of(program).empty()) { make_int(call.result, 1); return; }
    if (timeout >= 0 && GetTickCount() - start >= timeout * 1000) break;
  }
  make_int(call.result, 0);
}

BOOL CALLBACK close_process_windows(HWND w, LPARAM pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == static_cast<DWORD>(pid) && IsWindowVisible(w)) PostMessageW(w, WM_CLOSE, 0, 0);
  return TRUE;
}

// Asks the program's windows to close and waits up to five seconds, unless
// `atOnce`; then ends it. False when it could not be ended.
bool end_process(Context& c, DWORD pid, bool atOnce) {
  Handle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
  if (!process.get()) return false;
  if (!atOnce) {
    EnumWindows(close_process_windows, static_cast<LPARAM>(pid));
    for (int i = 0; i < 50; ++i) {
      if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
      if (!pumping_wait(c, 100)) break;
    }
  }
  if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
  if (!TerminateProcess(process.get(), 1)) return false;
  return WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0;
}

// TerminateApp(name, kind, flags): kind 0 a window name, 1 a program name;
// flags 1 ends at once. Answers the number of programs ended.
void terminate_app(Call& call) {
  const std::int32_t kind = call.args[2].i, flags = call.args[3].i;
  if (kind < 0 || kind > 1 || flags < 0 || flags > 1) { fail(call.c, errs::kTerminateBadKind); return; }
  std::vector<DWORD> pids;
  if (kind == 0) {
    if (HWND w = find_window(call.c, text_arg(call, 1), 0)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid) pids.push_back(pid);
    }
  } else {
    pids = processes_of(text_arg(call, 1));
  }
  for (DWORD pid : pids)
    if (pid == GetCurrentProcessId()) { fail(call.c, errs::kTerminateSelf); return; }
  int ended = 0;
  for (DWORD pid : pids) {
    if (!end_process(call.c, pid, flags == 1)) { fail(call.c, errs::kTerminateFailed); return; }
    ++ended;
  }
  make_int(call.result, ended);
}

}  // namespace

void register_apps(HandlerTable& t) {
  t.add(kw::fn_appexist, app_exist);
  t.add(kw::fn_appprocid, app_proc_id);
  t.add(kw::fn_appwaitclose, app_wait_close);
  t.add(kw::fn_terminateapp, terminate_app);
}

}  // namespace orv::winauto
