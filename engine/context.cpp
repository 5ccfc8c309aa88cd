#include "engine/context.h"

#include <cstdlib>
#include <cstring>
#include "engine/value_ops.h"
#include "engine/file_hooks.h"

namespace orv {

Context::Context() {
  clear_operand(returnValue);
  intSettings[41] = 1;   // four-digit years
  intSettings[35] = 25;      // key delay, ms
  intSettings[46] = 9;       // window wait count (one-second retries)
  intSettings[61] = 3;       // activation method: lift the foreground lock
  intSettings[62] = 3;       // the same for the interpreter's own boxes
  intSettings[70] = 500;     // wait after WinWaitExist/WinWaitClose, ms
  intSettings[74] = 10000;   // idle wait after a program start, ms
  intSettings[53] = 1;   // FileWrite ends lines with CR LF
  intSettings[65] = -2;  // FileRead buffers are sized from the file
  // ORV_COMPILE=0 runs every line through the text path (for comparing the two).
  if (const char* compile = std::getenv("ORV_COMPILE")) compileLines = std::strcmp(compile, "0") != 0;
}

Context::~Context() {
  if (slotMem) platform::mem_unlock(slotMem);
  for (std::size_t i = 1; i < frames.size(); ++i) {
    if (frames[i].mem && frames[i].mem != slotMem) platform::mem_free(frames[i].mem);
    spareFrames[i].give_back();
  }
}

}  // namespace orv
