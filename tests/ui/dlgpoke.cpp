// Test helper: drives a dialog of another process.
//
//   dlgpoke [-t SECONDS] COMMAND...
//     wait PREFIX      wait for a visible top-level window whose caption starts
//                      with PREFIX; it becomes the current window
//     gone             wait until the current window is destroyed
//     has ID           the current window has a control ID
//     missing ID       the current window has no control ID
//     text ID SUB      the text of control ID contains SUB
//     find SUB         some control of the current window contains SUB
//     enabled ID | disabled ID | visible ID | hidden ID
//     rows ID N        list view ID holds N rows
//     print ID         writes "ID: text" to standard output
//     click ID         posts BM_CLICK to button ID (it may open another dialog)
//     close            posts WM_CLOSE to the current window
//
// Commands run in order; the first failure is reported on standard error and
// ends the program with status 1 (2 for bad usage). Each wait gives up after
// SECONDS (default 30).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

DWORD g_timeoutMs = 30000;
HWND g_window = nullptr;

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
  return 1;
}

int usage() {
  std::fprintf(stderr, "usage: dlgpoke [-t SECONDS] COMMAND...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t at = 0;
  if (args.size() >= 2 && args[0] == "-t") {
    g_timeoutMs = static_cast<DWORD>(std::atoi(args[1].c_str())) * 1000;
    at = 2;
  }
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
    } else if (command == "print") {
      std::printf("%d: %s\n", id, window_text(control).c_str());
      std::fflush(stdout);
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
    } else if (command == "click") {
      if (!PostMessageA(control, BM_CLICK, 0, 0)) return fail("cannot click " + a);
    } else {
      return usage();
    }
  }
  return 0;
}
