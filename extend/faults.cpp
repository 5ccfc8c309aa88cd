// How a fault caught inside called code is described to the script's user.
#include <cstdio>

#include "extend/dll_platform.h"

namespace orv::dll {

std::string fault_text(const Fault& f) {
  const char* what = "exception";
  switch (f.code) {
    case 0xC0000005: what = "access violation"; break;
    case 0xC0000094: what = "integer divide by zero"; break;
    case 0xC0000095: what = "integer overflow"; break;
    case 0xC000001D: what = "illegal instruction"; break;
    case 0xC0000096: what = "privileged instruction"; break;
    case 0xC00000FD: what = "stack overflow"; break;
    case 0x80000003: what = "breakpoint"; break;
    case 0xC000008E: what = "floating-point divide by zero"; break;
    case 0xC0000090: what = "invalid floating-point operation"; break;
    default: break;
  }
  char text[96];
  std::snprintf(text, sizeof text, "%s (0x%08lX) at 0x%08lX", what, static_cast<unsigned long>(f.code),
                static_cast<unsigned long>(f.address));
  return text;
}

}  // namespace orv::dll
