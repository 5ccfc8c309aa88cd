// The DLL-calling family: DllCall, DLL handles, structures and callbacks.
#include "builtins/families.h"
#include "extend/dll_groups.h"

namespace orv {

void register_dll_functions(HandlerTable& t) {
  dll::register_calls(t);
  dll::register_modules(t);
  dll::register_structs(t);
  dll::register_callbacks(t);
}

}  // namespace orv
