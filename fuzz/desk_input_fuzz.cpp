// Fuzz target: the platform-free readers of the clipboard, keyboard, mouse
// and window-extra functions. The first byte picks the reader; the rest is
// its input, as another program or a script would hand it over.
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/clipboard/file_list.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t which = data[0];
  const std::uint8_t* rest = data + 1;
  const std::size_t n = size - 1;
  switch (which % 4) {
    case 0: {
      const auto names = clip::decode_file_list(rest, n);
      if (names) {
        // What a list reads back to encodes to a block that reads back the same.
        for (const auto& name : *names)
          if (name.empty()) __builtin_trap();
        const auto block = clip::encode_file_list(*names);
        const auto again = clip::decode_file_list(block.data(), block.size());
        if (!again || *again != *names) __builtin_trap();
      }
      break;
    }
    default:
      break;
  }
  return 0;
}
