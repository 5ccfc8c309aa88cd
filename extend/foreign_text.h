// Text that foreign code points at (a DLL's returned string, a pointer
// member of a structure): the pointer may be any number the callee left, so
// every page is checked before it is read.
#pragma once
#include <cstdint>
#include <string>

#include "extend/dll_platform.h"

namespace orv::dll {

// The NUL-terminated text at `at` (empty for a null pointer); false when
// any of it up to the NUL cannot be read.
template <typename Ch>
bool foreign_text(const void* at, std::basic_string<Ch>& out) {
  constexpr std::uintptr_t kPage = 4096;   // the smallest page any system here uses
  out.clear();
  if (!at) return true;
  const auto* s = static_cast<const Ch*>(at);
  std::uintptr_t checkedPage = 0;   // the last page known to be readable
  for (std::size_t n = 0;; ++n) {
    // A page is readable as a whole: each character is checked only when it
    // reaches into a page not checked yet, and only its own bytes are probed.
    const std::uintptr_t lastPage = (reinterpret_cast<std::uintptr_t>(s + n) + sizeof(Ch) - 1) / kPage;
    if (n == 0 || lastPage > checkedPage) {
      if (!readable(s + n, sizeof(Ch))) return false;
      checkedPage = lastPage;
    }
    if (s[n] == 0) return true;
    out.push_back(s[n]);
  }
}

}  // namespace orv::dll
