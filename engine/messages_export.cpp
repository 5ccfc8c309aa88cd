// LoadMyString: message texts for extenders and hosts. Part of the engine, not
// only of the DLL: every extender gets it in its information block. The module
// handle is not used: the texts are always the interpreter's own (its string
// table or language file), whichever module asks.
#include "engine/messages.h"
#include "engine/no_throw.h"
#include "api/orv_api.h"

ORV_EXPORT int ORV_CALL LoadMyString(void* /*module*/, unsigned number, char* buffer, int size) {
  return orv::export_guard(0, [&] { return orv::copy_message_text(number, buffer, size); });
}
