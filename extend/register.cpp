// The extension family: DllCall, DLL handles, structures, callbacks and AddExtender.
#include "builtins/families.h"
#include "extend/dll_groups.h"
#include "extend/extenders.h"

namespace orv {

void register_dll_functions(HandlerTable& t) {
  dll::register_calls(t);
  dll::register_modules(t);
  dll::register_structs(t);
  dll::register_callbacks(t);
  ext::register_extenders(t);
}

}  // namespace orv
