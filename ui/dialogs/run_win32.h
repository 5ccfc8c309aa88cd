// The record of one running dialog, shared by the window procedure and the
// dialog functions that reach it through private window messages.
#pragma once
#include <windows.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "builtins/dispatch.h"
#include "com/control_host_win32.h"
#include "ui/dialogs/definition.h"
#include "ui/dialogs/report_values.h"

namespace orv::dialogs {

inline constexpr int kEventCount = 24;
inline constexpr int kFirstControlId = 100;
// Private messages of the dialog window.
inline constexpr UINT kMsgRequest = WM_APP + 0x31;   // lParam: Request*
inline constexpr UINT kMsgEnd = WM_APP + 0x32;       // wParam: the callback's answer for a posted ending
inline constexpr UINT kMsgResized = WM_APP + 0x33;   // the size changed; the event follows once the callback is free

enum Event : int {
  kInit = 0, kTimer = 1, kPushButton_ = 2, kRadio = 3, kCheck = 4, kEditText = 5, kFileSelect = 6,
  kItemSelect = 7, kDropChange = 8, kCalendarChange = 9, kSpinChange = 10, kClose = 11, kFileDouble = 12,
  kItemDouble = 13, kMenuSelect = 15, kResize = 17, kReportSelect = 18, kReportDouble = 19, kReportCheck = 20,
  kComEvent = 14, kReportText = 21, kReportHeader = 22, kDateTimeChange = 23
};

struct GdiObject {
  HGDIOBJ h = nullptr;
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ o) : h(o) {}
  GdiObject(GdiObject&& o) noexcept : h(o.h) { o.h = nullptr; }
  GdiObject& operator=(GdiObject&& o) noexcept { std::swap(h, o.h); return *this; }
  ~GdiObject() { if (h) DeleteObject(h); }
};

struct ControlWindow {
  HWND hwnd = nullptr;
  GdiObject font, brush;
  COLORREF textColour = CLR_INVALID, backColour = CLR_INVALID;
  UINT menuId = 0;          // MENUITEM
  HMENU subMenu = nullptr;  // MENUBAR / MENUITEM that has children
  HWND partner = nullptr;   // SPINNER: the up-down beside the edit part
  std::wstring folder;      // FILELISTBOX: where the listed files are, with its separator
  // REPORTVIEW: per-column formats (missing ones are LEFT TEXT), the column
  // and direction of the last sort, and row colours by the rows' item data.
  std::vector<ColumnFormat> formats;
  int sortColumn = -1;
  bool sortDescending = false;
  std::map<LPARAM, RowColours> rowColours;
  com::ControlHost host;    // COMCONTROL: the container of the ActiveX control
};

struct DialogRun {
  Context& c;
  Definition d;                         // the run's own copy: requests change control styles
  HWND hwnd = nullptr;
  std::vector<ControlWindow> windows;   // parallel to d.controls
  std::array<bool, kEventCount> events{};
  UINT timerMs = 0;
  int busy = 0;
  int udf = -1;
  bool ended = false;
  bool failedEnd = false;               // ended by an error in the callback
  std::int32_t result = 0;
  HMENU menuBar = nullptr;
  GdiObject dialogFont, dialogBrush;
  int sysMenu = 1;
  bool disabled = false;
  std::int32_t sizeX = 0, sizeY = 0;    // client size last reported, dialog units
  bool resizePending = false, resizeWaiting = false;
  std::string background;               // the setting of request 1001 as given
  GdiObject backgroundBitmap;
  int quiet = 0;                        // report views changed by a request raise no events

  DialogRun(Context& context, const Definition& def)
      : c(context), d(def), sizeX(def.width), sizeY(def.height) {}
};

struct Request {
  Call& call;
  int kind;      // the built-in id
};

// COMCONTROL (window_build_win32.cpp): the host window and its control in the
// control's rectangle; its subscribed events go to the callback as event 14.
bool build_com_control(DialogRun& run, std::size_t index, const RECT& r, DWORD style);

// Control index of the control argument (name in 6.2, number in 6.1); -1 with 3973/3984 set.
int find_control(DialogRun& run, const Value& v);
void handle_request(DialogRun& run, Request& r);
bool write_back(DialogRun& run);
// Places the controls for the dialog's current client size.
void layout_controls(DialogRun& run);
// Pixels of four horizontal and eight vertical dialog units, from the
// system's base units or the design resolution of the definition.
RECT dialog_units(const DialogRun& run);
void to_pixels(const DialogRun& run, RECT& r);
void size_window(DialogRun& run);
std::u16string window_text(HWND w);
std::u16string widen(std::string_view s);
std::string narrow(std::u16string_view s);

}  // namespace orv::dialogs
