// The constants object that ObjectConstantsGet answers.
#pragma once
#include "com/com_win32.h"

namespace orv::com {

// Whether the dispatch is one of our constants objects (whose members cannot be assigned).
bool is_constants_object(IDispatch* disp);

}  // namespace orv::com
