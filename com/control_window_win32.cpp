// The host window of a hosted ActiveX control: the "OrvComWin" window
// class, its messages passed on to the control's site, and the thread's key
// filter that shows an in-place active control its keys before the dialog
// manager takes them.
#include "com/control_host_win32.h"
#include "engine/error_numbers.h"

#include "com/control_site_win32.h"
#include "engine/convert.h"
#include "engine/no_throw.h"
#include "ui/module_win32.h"

namespace orv::com {

namespace {

constexpr wchar_t kHostClass[] = L"OrvComWin";

// Keys reach an in-place active control before the dialog manager takes
// arrows, tabs and Enter for itself: one message filter per thread while
// any control is hosted on it.
thread_local HHOOK t_filter = nullptr;
thread_local int t_hosted = 0;

LRESULT CALLBACK host_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

bool register_host_class() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(ui::this_module(), kHostClass, &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = host_proc;
  wc.hInstance = ui::this_module();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kHostClass;
  return RegisterClassExW(&wc) != 0;
}

ControlSite* site_of(HWND hwnd) { return reinterpret_cast<ControlSite*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// The host window that `w` is or lies in, if any.
ControlSite* host_of(HWND w) {
  for (; w; w = GetAncestor(w, GA_PARENT)) {
    wchar_t name[16] = {};
    if (GetClassNameW(w, name, 16) && lstrcmpW(name, kHostClass) == 0) return site_of(w);
  }
  return nullptr;
}

LRESULT CALLBACK key_filter(int code, WPARAM wParam, LPARAM lParam) {
  auto* m = reinterpret_cast<MSG*>(lParam);
  if (code >= 0 && m && m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST) {
    ControlSite* site = host_of(m->hwnd);
    if (site && site->translate(*m)) return 1;
  }
  return CallNextHookEx(t_filter, code, wParam, lParam);
}

LRESULT handle_host_message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlSite* site = site_of(hwnd);
  switch (message) {
    case WM_SIZE:
      if (site) site->resized();
      return 0;
    case WM_PAINT:
      if (site) {
        site->paint(hwnd);
        return 0;
      }
      break;
    case WM_SETFOCUS:
      if (site) site->focus();
      return 0;
    case WM_DESTROY:
      if (site) site->close();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Nothing may unwind through the window manager.
LRESULT CALLBACK host_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return export_guard<LRESULT>(0, [&] { return handle_host_message(hwnd, message, wParam, lParam); });
}

}  // namespace

void ControlSite::hook_keys() {
  if (hooked_) return;
  if (t_hosted == 0) t_filter = SetWindowsHookExW(WH_MSGFILTER, key_filter, nullptr, GetCurrentThreadId());
  ++t_hosted;
  hooked_ = true;
}

void ControlSite::unhook_keys() {
  if (hooked_ && --t_hosted == 0 && t_filter) {
    UnhookWindowsHookEx(t_filter);
    t_filter = nullptr;
  }
  hooked_ = false;
}

void HostCloser::operator()(ControlSite* site) const {
  if (!site) return;
  site->close();
  site->Release();
}

ControlHost create_control_host(Context& c, HWND parent, int id, const RECT& r, DWORD style,
                                const std::wstring& progId, const Ambient& ambient, EventHandler events) {
  if (!state_of(c).ready(c)) return nullptr;
  CLSID clsid{};
  const HRESULT hr = !progId.empty() && progId[0] == L'{' ? CLSIDFromString(progId.c_str(), &clsid)
                                                          : CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(hr)) {
    fail_status(c, hr, "CComControl::Create", true, narrow(progId));
    return nullptr;
  }
  if (!register_host_class()) {
    fail(c, errs::kWindowCreateFailed);
    return nullptr;
  }
  const HWND window = CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP | style, r.left,
                                      r.top, r.right - r.left, r.bottom - r.top, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui::this_module(), nullptr);
  if (!window) {
    fail(c, errs::kWindowCreateFailed);
    return nullptr;
  }
  ControlHost site(new ControlSite(c, ambient, std::move(events)));
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site.get()));
  const RECT client{0, 0, r.right - r.left, r.bottom - r.top};
  if (!site->create(clsid, window, client)) {
    const std::uint16_t error = c.error;
    site.reset();
    DestroyWindow(window);
    c.error = error;
    return nullptr;
  }
  site->hook_keys();
  return site;
}

HWND host_window(const ControlSite& site) { return site.window(); }
bool host_subscribe(Context&, ControlSite& site, const std::wstring& event, bool subscribe) {
  return site.subscribe(event, subscribe);
}
bool host_object(Context&, ControlSite& site, Value& out) { return site.object(out); }
void host_set_back(ControlSite& site, COLORREF colour) { site.set_colour(true, colour); }
void host_set_fore(ControlSite& site, COLORREF colour) { site.set_colour(false, colour); }

}  // namespace orv::com
