// No display in the native build: the debug window cannot be shown.
#include "engine/step_view.h"

namespace orv::ui {

bool debug_window_available() { return false; }
StepAnswer debug_window(Context&, const StepView&) { return StepAnswer::failed; }

}  // namespace orv::ui
