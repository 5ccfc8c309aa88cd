// The dialog runtime as the operating system shows it. The Windows back end
// builds real dialogs and calls the script's callback; the native one has no
// display: a dialog fails to open and no dialog handle is ever valid.
#pragma once
#include <cstdint>

#include "builtins/dispatch.h"
#include "ui/dialogs/definition.h"

namespace orv::dialogs {

// The text of a script variable of the current frame, or none when it is
// not defined or holds no text or number.
std::optional<std::string> variable_text(Context& c, std::string_view name);

// Shows the dialog; `result` is the value it ended with. False with the error set.
bool run_dialog(Context& c, const Definition& d, std::int32_t& result);

// Dialog and DialogBox: reads the definition `name` from `source`, shows it
// and answers the button's value; a button of value 0 cancels (9999).
void answer_dialog(Call& call, std::string_view name, DefinitionSource& source);

// The dialog functions, each on a dialog handle from a running callback.
void proc_options(Call& call);
void control_state(Call& call);
void control_get(Call& call);
void control_set(Call& call);
void dialog_object(Call& call);

}  // namespace orv::dialogs
