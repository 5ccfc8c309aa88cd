// Test helper: drives a dialog of another process.
//
//   dlgpoke [-t SECONDS] [-o FILE] [-f ID] COMMAND...
//     wait PREFIX      wait for a visible top-level window whose caption starts
//                      with PREFIX; it becomes the current window
//     gone             wait until the current window is destroyed
//     has ID           the current window has a control ID
//     missing ID       the current window has no control ID
//     text ID SUB      the text of control ID contains SUB
//     until ID SUB     waits until the text of control ID contains SUB
//     find SUB         some control of the current window contains SUB
//     enabled ID | disabled ID | visible ID | hidden ID
//     rows ID N        list view ID holds N rows
//     print ID         writes "ID: text" to standard output
//     click ID         posts BM_CLICK to button ID (it may open another dialog)
//     set ID TEXT      replaces the text of control ID (an edit box)
//     close            posts WM_CLOSE to the current window
//
// Commands run in order; the first failure is reported on standard error and
// ends the program with status 1 (2 for bad usage). Each wait gives up after
// SECONDS (default 30). With -o, what print writes and the failure go to FILE
// instead, which appears whole when the program ends (a script started it
// and cannot read its output otherwise). With -f, a failure clicks button ID
// of the current window, so a script blocked in that window can end.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

DWORD g_timeoutMs = 30000;
HWND g_window = nullptr;
bool g_toFile = false;
std::string g_output;   // with -o

std::string window_text(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  text.resize(copied);
  return text;
}

struct Search {
  std::string prefix;
  HWND found = nullptr;
};

BOOL CALLBACK match_top(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  char caption[512] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(caption).rfind(search->prefix, 0) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

bool wait_for(const std::string& prefix) {
  const DWORD start = GetTickCount();
  do {
    Search search{prefix};
    EnumWindows(match_top, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      g_window = search.found;
      return true;
    }
    Sleep(100);
  } while (GetTickCount() - start < g_timeoutMs);
  return false;
}

bool wait_gone() {
  const DWORD start = GetTickCount();
  while (IsWindow(g_window)) {
    if (GetTickCount() - start >= g_timeoutMs) return false;
    Sleep(100);
  }
  return true;
}

struct ChildSearch {
  std::string needle;
  bool found = false;
};

BOOL CALLBACK match_child(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (window_text(window).find(search->needle) == std::string::npos) return TRUE;
  search->found = true;
  return FALSE;
}

int fail(const std::string& what) {
  std::fprintf(stderr, "dlgpoke: %s\n", what.c_str());
  if (g_toFile) g_output += "dlgpoke: " + what + "\n";
  return 1;
}

void put(const std::string& line) {
  if (g_toFile) {
    g_output += line;
    return;
  }
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

// Written under another name and renamed, so a reader never sees half of it.
bool write_output(const std::string& file) {
  const std::string temporary = file + ".tmp";
  HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, g_output.data(), static_cast<DWORD>(g_output.size()), &written, nullptr) &&
                  written == g_output.size();
  CloseHandle(h);
  return ok && MoveFileExA(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int usage() {
  std::fprintf(stderr, "usage: dlgpoke [-t SECONDS] [-o FILE] [-f ID] COMMAND...\n");
  return 2;
}

}  // namespace

int run_commands(const std::vector<std::string>& args, std::size_t at) {
  auto take = [&](std::string& out) {
    if (at >= args.size()) return false;
    out = args[at++];
    return true;
  };
  while (at < args.size()) {
    const std::string command = args[at++];
    std::string a, b;
    if (command == "wait") {
      if (!take(a)) return usage();
      if (!wait_for(a)) return fail("no window with a caption starting \"" + a + "\"");
      continue;
    }
    if (!g_window) return fail(command + ": no current window (use wait first)");
    if (command == "gone") {
      if (!wait_gone()) return fail("the window is still open");
      continue;
    }
    if (command == "close") {
      if (!PostMessageA(g_window, WM_CLOSE, 0, 0)) return fail("cannot close the window");
      continue;
    }
    if (command == "find") {
      if (!take(a)) return usage();
      ChildSearch search{a};
      EnumChildWindows(g_window, match_child, reinterpret_cast<LPARAM>(&search));
      if (!search.found) return fail("no control contains \"" + a + "\"");
      continue;
    }
    if (!take(a)) return usage();
    const int id = std::atoi(a.c_str());
    HWND control = GetDlgItem(g_window, id);
    if (command == "missing") {
      if (control) return fail("control " + a + " exists");
      continue;
    }
    if (!control) return fail("no control " + a);
    if (command == "has") continue;
    if (command == "text") {
      if (!take(b)) return usage();
      const std::string text = window_text(control);
      if (text.find(b) == std::string::npos)
        return fail("control " + a + " is \"" + text + "\", without \"" + b + "\"");
    } else if (command == "until") {
      if (!take(b)) return usage();
      const DWORD start = GetTickCount();
      while (window_text(control).find(b) == std::string::npos) {
        if (GetTickCount() - start >= g_timeoutMs)
          return fail("control " + a + " is \"" + window_text(control) + "\", still without \"" + b + "\"");
        Sleep(100);
      }
    } else if (command == "print") {
      put(std::to_string(id) + ": " + window_text(control) + "\n");
    } else if (command == "enabled" || command == "disabled") {
      if ((IsWindowEnabled(control) != FALSE) != (command == "enabled")) return fail("control " + a + " is not " + command);
    } else if (command == "visible" || command == "hidden") {
      if ((IsWindowVisible(control) != FALSE) != (command == "visible")) return fail("control " + a + " is not " + command);
    } else if (command == "rows") {
      if (!take(b)) return usage();
      DWORD_PTR count = 0;
      SendMessageTimeoutA(control, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
      if (static_cast<long>(count) != std::atol(b.c_str()))
        return fail("list " + a + " has " + std::to_string(count) + " rows, not " + b);
    } else if (command == "set") {
      if (!take(b)) return usage();
      DWORD_PTR done = 0;
      if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(b.c_str()), SMTO_ABORTIFHUNG, 5000, &done) ||
          !done)
        return fail("cannot set the text of " + a);
    } else if (command == "click") {
      if (!PostMessageA(control, BM_CLICK, 0, 0)) return fail("cannot click " + a);
    } else {
      return usage();
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t at = 0;
  std::string outputFile, failButton;
  while (at + 1 < args.size() && (args[at] == "-t" || args[at] == "-o" || args[at] == "-f")) {
    if (args[at] == "-t") g_timeoutMs = static_cast<DWORD>(std::atoi(args[at + 1].c_str())) * 1000;
    else if (args[at] == "-o") outputFile = args[at + 1];
    else failButton = args[at + 1];
    at += 2;
  }
  g_toFile = !outputFile.empty();
  const int status = run_commands(args, at);
  if (status != 0 && !failButton.empty() && g_window && IsWindow(g_window)) {
    if (HWND button = GetDlgItem(g_window, std::atoi(failButton.c_str()))) PostMessageA(button, BM_CLICK, 0, 0);
  }
  if (g_toFile && !write_output(outputFile)) {
    std::fprintf(stderr, "dlgpoke: cannot write %s\n", outputFile.c_str());
    return status ? status : 1;
  }
  return status;
}
