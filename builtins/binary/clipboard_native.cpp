// There is no clipboard off Windows: BinaryClipGet and BinaryClipPut stay
// unregistered and calling one is the missing-function error.
#include "builtins/binary/binary_args.h"

namespace orv::binary {

void register_clipboard(HandlerTable&) {}

}  // namespace orv::binary
