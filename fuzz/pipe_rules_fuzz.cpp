// Fuzz target: pipe names and message bytes from arbitrary input. The first
// byte picks the part; the rest is a UTF-16 name or a message's bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "builtins/dde/dde_rules.h"
#include "builtins/pipes/pipe_rules.h"

using namespace orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 1) {
    std::u16string name;
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
      name += static_cast<char16_t>(static_cast<unsigned char>(rest[i]) | (static_cast<unsigned char>(rest[i + 1]) << 8));
    if (auto parsed = pipes::parse_pipe_name(name)) {
      // An accepted name is a path the parser takes back as the same pipe.
      auto again = pipes::parse_pipe_name(parsed->path());
      if (!again || again->path() != parsed->path() || parsed->path().size() > pipes::kMaxPipePath) __builtin_trap();
    }
    return 0;
  }
  const pipes::MessageText text = pipes::decode_message(rest);
  // What was read, written again, reads back the same.
  if (text.wide) {
    if (pipes::decode_message(pipes::encode_message(std::u16string_view(text.utf16))).utf16 != text.utf16)
      __builtin_trap();
  } else if (pipes::decode_message(pipes::encode_message(std::string_view(text.narrow))).narrow != text.narrow) {
    // A narrow text that starts with the mark may read back as UTF-16:
    // only texts without it must survive unchanged.
    if (text.narrow.rfind("\xFF\xFE", 0) != 0) __builtin_trap();
  }
  if (dde::text_of_block(dde::block_of_text(std::string_view(text.narrow))) != text.narrow) __builtin_trap();
  return 0;
}
