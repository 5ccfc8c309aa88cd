// Fuzz target: structure descriptors and callback type lists. A layout that
// parses must be sound: members in order, aligned, inside the size.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "extend/type_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orv::dll;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  StructLayout layout;
  std::string detail;
  if (parse_struct_descriptor(text, layout, detail) == 0) {
    std::uint64_t end = 0;
    for (const Member& m : layout.members) {
      const auto width = static_cast<std::uint32_t>(member_size(m.type));
      if (m.offset < end || m.offset % width != 0 || m.size != m.count * width) std::abort();
      end = std::uint64_t{m.offset} + m.size;
      if (find_member(layout, m.name) == nullptr) std::abort();
    }
    if (end != layout.size || detail.size() > 300) std::abort();
  }
  const std::size_t cut = size ? data[0] % (size + 1) : 0;
  CallbackSignature sig;
  if (parse_callback_signature(text.substr(0, cut), text.substr(cut), sig) == 0) {
    int bytes = 0;
    for (int p : sig.params) bytes += 4 * stack_words(p);
    if (bytes != sig.stackBytes || sig.params.size() > kMaxCallbackParams) std::abort();
  }
  (void)param_type(text);
  (void)return_type(text);
  return 0;
}
