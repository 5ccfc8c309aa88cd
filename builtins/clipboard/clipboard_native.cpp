// There is no clipboard off Windows: the clipboard built-ins stay
// unregistered and calling one is the missing-function error.
#include "builtins/families.h"

namespace orv {

void register_clipboard_functions(HandlerTable&) {}

}  // namespace orv
