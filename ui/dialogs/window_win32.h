// What the dialog window's parts ask of each other: building the controls
// (window_build_win32.cpp), carrying events to the callback
// (window_events_win32.cpp) and placing controls (window_layout_win32.cpp).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialogs/run_win32.h"

namespace orv::dialogs {

// Creates the controls, menus, fonts and brushes as the window opens.
bool build_controls(DialogRun& run);

// Runs the callback for an event, or the event's default action.
void on_event(DialogRun& run, int event, int control, std::int32_t defaultResult, bool hasDefault, bool posted = false,
              std::string_view data = {});
// The event data of event 14: the event's name, then its parameters, all
// separated by tabs.
std::string com_event_data(const std::wstring& name, const std::vector<std::string>& params);

// Vertical dots per inch of the screen.
int screen_dpi();
// The client size in whole dialog units.
POINT client_units(DialogRun& run);
void min_track_size(DialogRun& run, MINMAXINFO& info);

}  // namespace orv::dialogs
