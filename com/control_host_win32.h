// ActiveX controls in script dialogs: the host window of the class
// "OrvComWin" and the control container behind it (client site, in-place
// site and frame, control site, ambient properties, event sink).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"

namespace orv::com {

class ControlSite;

// What the container tells the control about itself.
struct Ambient {
  COLORREF fore = CLR_INVALID, back = CLR_INVALID;   // invalid: the system's dialog colours
  HFONT font = nullptr;                              // the control's font; the site keeps its own copy
  std::wstring name;                                 // the control's name in the dialog
};

// A subscribed event as it arrives: its name and its parameters as text,
// in the order the event declares them.
using EventHandler = std::function<void(const std::wstring& name, const std::vector<std::string>& params)>;

// Closes the control and lets go of the container.
struct HostCloser {
  void operator()(ControlSite* site) const;
};
using ControlHost = std::unique_ptr<ControlSite, HostCloser>;

// Creates the host window (child `id` of `parent` at `r`) and in it the
// control named by `progId` (a programmatic identifier or a class id in
// braces), in-place active. Empty with the error set when the class is
// unknown or the control cannot be created or activated.
ControlHost create_control_host(Context& c, HWND parent, int id, const RECT& r, DWORD style,
                                const std::wstring& progId, const Ambient& ambient, EventHandler events);

HWND host_window(const ControlSite& site);
// Starts or stops delivering one event of the control: 1752 when the
// control has no events, 1753 for a name it does not fire (or, when
// stopping, one that was not subscribed).
bool host_subscribe(Context& c, ControlSite& site, const std::wstring& event, bool subscribe);
// The control's automation object as a script value (`out` empty). The
// value stops working when the dialog ends.
bool host_object(Context& c, ControlSite& site, Value& out);
// A new ambient background or text colour, announced to the control.
void host_set_back(ControlSite& site, COLORREF colour);
void host_set_fore(ControlSite& site, COLORREF colour);

}  // namespace orv::com
