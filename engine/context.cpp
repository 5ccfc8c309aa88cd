#include "engine/context.h"

#include <cstdlib>
#include <cstring>
#include "engine/value_ops.h"

namespace orv {

Context::Context() {
  clear_operand(returnValue);
  intSettings[41] = 1;   // four-digit years
  // ORV_COMPILE=0 runs every line through the text path (for comparing the two).
  if (const char* compile = std::getenv("ORV_COMPILE")) compileLines = std::strcmp(compile, "0") != 0;
}

Context::~Context() {
  if (slotMem) platform::mem_unlock(slotMem);
  for (std::size_t i = 1; i < frames.size(); ++i) {
    if (frames[i].mem && frames[i].mem != slotMem) platform::mem_free(frames[i].mem);
    if (spareFrames[i]) platform::mem_free(spareFrames[i]);
  }
}

}  // namespace orv
