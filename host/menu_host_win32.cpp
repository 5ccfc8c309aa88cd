// The menu host: a window with the menu file's menu bar and hot keys; a
// chosen item's script is taken from the library (ParseStandardMenu) and run
// like any script. With --once the host ends after the first item.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/host_functions.h"
#include "host/menu_host.h"
#include "host/session.h"
#include "platform/platform.h"

namespace orv::host {

namespace {

using LoadMenuFn = HMENU(ORV_CALL*)(void*, HWND, const char*, int, unsigned short*, int*, unsigned long*);
using ParseMenuFn = INT_PTR(ORV_CALL*)(void*, HWND, int, const char*, unsigned long);
using SelectMenuFn = int(ORV_CALL*)(void*, HWND, WPARAM, LPARAM, char*, int, int);

struct MenuHost {
  const EngineApi* api = nullptr;
  std::string file;
  bool once = false;
  LoadMenuFn load = nullptr;
  ParseMenuFn parse = nullptr;
  SelectMenuFn select = nullptr;
  HWND statusLine = nullptr;   // the highlighted entry's description
  HMENU menu = nullptr;
  HACCEL accelerators = nullptr;
  unsigned long stamp = 0;
  int status = 0;
  bool running = false;   // an item's script is running
};

struct AcceleratorTable {
  HACCEL h = nullptr;
  ~AcceleratorTable() { if (h) DestroyAcceleratorTable(h); }
};

bool load_menus(MenuHost& host, HWND window) {
  unsigned short pairs[200] = {};
  int count = 0;
  if (host.menu) DestroyMenu(host.menu);
  host.menu = host.load(nullptr, window, host.file.c_str(), 0, pairs, &count, &host.stamp);
  if (!host.menu) return false;
  std::vector<ACCEL> table;
  for (int k = 0; k < count; ++k) {
    const unsigned word = pairs[2 * k];
    BYTE flags = FVIRTKEY;
    if (word & 0x2000) flags |= FALT;
    if (word & 0x4000) flags |= FCONTROL;
    if (word & 0x8000) flags |= FSHIFT;
    table.push_back(ACCEL{flags, static_cast<WORD>(word & 0xFF), pairs[2 * k + 1]});
  }
  if (host.accelerators) DestroyAcceleratorTable(host.accelerators);
  host.accelerators = table.empty() ? nullptr : CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
  return true;
}

// Runs an item's script text through a file of its own, as the console host runs scripts.
int run_script(MenuHost& host, const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "orv-menu-item.orv";
  if (std::FILE* f = std::fopen(path.string().c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  } else {
    return 2;
  }
  Session session(*host.api);
  if (!session.ok()) return 2;
  HostFunctions functions(*host.api);
  const auto result = session.run(path.string(), {}, functions);
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  if (result.status != RunResult::Status::ran) return 2;
  return result.lastError != 0 && result.lastError < 9000 ? 1 : result.exitStatus;
}

void choose(MenuHost& host, HWND window, int item) {
  // The interpreter lets window messages through while a script runs; a
  // second choice then would start a run inside the first, deeper each time.
  if (host.running) {
    MessageBeep(MB_OK);
    return;
  }
  const INT_PTR block = host.parse(nullptr, window, item, host.file.c_str(), host.stamp);
  if (block == -1) {
    load_menus(host, window);
    return;
  }
  if (!block) return;
  const std::string text(reinterpret_cast<const char*>(block));
  GlobalFree(reinterpret_cast<HGLOBAL>(block));
  struct Running {
    bool& flag;
    explicit Running(bool& f) : flag(f) { flag = true; }
    ~Running() { flag = false; }
  } running(host.running);
  host.status = run_script(host, text);
  if (host.once) DestroyWindow(window);
}

LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<MenuHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  try {
    switch (message) {
      case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
      case WM_MENUSELECT:
        if (host && host->select && host->statusLine) {
          char text[512];
          host->select(nullptr, window, wParam, lParam, text, static_cast<int>(sizeof text), 'A');
          SetWindowTextA(host->statusLine, text);
        }
        break;
      case WM_SIZE:
        if (host && host->statusLine) MoveWindow(host->statusLine, 0, HIWORD(lParam) - 20, LOWORD(lParam), 20, TRUE);
        break;
      case WM_COMMAND:
        if (host && HIWORD(wParam) <= 1) choose(*host, window, LOWORD(wParam));
        return 0;
      case WM_DESTROY:
        PostQuitMessage(host ? host->status : 0);
        return 0;
      default:
        break;
    }
  } catch (...) {
    if (host) host->status = 2;   // nothing may leave a window procedure
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int run_menu_host(const EngineApi& api, const std::string& menuFile, bool once) {
  MenuHost host;
  host.api = &api;
  host.file = menuFile;
  host.once = once;
  HMODULE library = GetModuleHandleA("orv.dll");
  host.load = reinterpret_cast<LoadMenuFn>(reinterpret_cast<void*>(GetProcAddress(library, "LoadStandardMenu")));
  host.parse = reinterpret_cast<ParseMenuFn>(reinterpret_cast<void*>(GetProcAddress(library, "ParseStandardMenu")));
  host.select = reinterpret_cast<SelectMenuFn>(reinterpret_cast<void*>(GetProcAddress(library, "MenuSelectProcessing")));
  if (!host.load || !host.parse) {
    platform::write_stderr("orvhost: orv.dll lacks the menu exports\n");
    return 2;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = host_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"OrvMenuHost";
  RegisterClassW(&wc);
  const std::string title = "ORV menu - " + std::filesystem::path(menuFile).filename().string();
  HWND window = CreateWindowExA(0, "OrvMenuHost", title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                                240, nullptr, nullptr, wc.hInstance, &host);
  if (!window) return 2;
  host.statusLine = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 480, 20, window, nullptr, wc.hInstance,
                                    nullptr);
  if (!load_menus(host, window)) {
    DestroyWindow(window);
    return 2;
  }
  RECT client{};
  GetClientRect(window, &client);
  MoveWindow(host.statusLine, 0, client.bottom - 20, client.right, 20, FALSE);
  ShowWindow(window, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (host.accelerators && TranslateAcceleratorW(window, host.accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (host.accelerators) DestroyAcceleratorTable(host.accelerators);
  return host.status;
}

}  // namespace orv::host
