// What the interactive debug window shows: a modal window before each
// statement while stepping. The engine asks; the ui layer implements it (the
// Windows back end builds it from an in-memory template run by the exported
// DebugProc; the native one has no display and fails).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/context.h"

namespace orv::ui {

enum class StepAnswer { step, run, cancel, failed };

struct StepView {
  std::string script;      // file name of the statement's script
  std::uint32_t line = 0;
  std::string statement;   // the text about to run
  // What the Show button displays for the text of the expression box.
  std::function<std::string(const std::string&)> show;
};

// Whether a window can be shown at all (a display is there).
bool debug_window_available();
StepAnswer debug_window(Context& c, const StepView& view);

}  // namespace orv::ui
