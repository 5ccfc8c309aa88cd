// No display natively: dialogs cannot open, and no handle names a dialog.
#include "engine/error_numbers.h"
#include "ui/dialogs/runtime.h"

#include "engine/convert.h"

namespace orv::dialogs {

bool run_dialog(Context& c, const Definition&, std::int32_t&) { return fail(c, errs::kWindowCreateFailed); }

namespace {
void no_dialog(Call& call) { fail(call.c, errs::kBadValue, int_to_text(call.count >= 1 ? call.args[1].i : 0)); }
}  // namespace

void proc_options(Call& call) { no_dialog(call); }
void control_state(Call& call) { no_dialog(call); }
void control_get(Call& call) { no_dialog(call); }
void control_set(Call& call) { no_dialog(call); }
void dialog_object(Call& call) { no_dialog(call); }

}  // namespace orv::dialogs
