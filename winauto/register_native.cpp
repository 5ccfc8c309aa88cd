// Off Windows there are no windows to find, keys to send or programs to start
// this way: the functions keep their table entries and answer 3046.
#include "builtins/families.h"

namespace orv {

void register_winauto_functions(HandlerTable&) {}

}  // namespace orv
