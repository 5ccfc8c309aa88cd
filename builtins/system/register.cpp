// Folders, disks and the environment: where the script runs and what the
// system around it holds.
#include "builtins/families.h"
#include "builtins/system/system_args.h"
#include "platform/platform.h"

namespace orv {

namespace system {

bool set_system_text(Call& call, std::u16string_view text) {
  if (call.wide) return make_wstring(call.c, call.result, text);
  std::string ansi;
  std::u16string back;
  if (platform::utf16_to_ansi(text, ansi) && platform::ansi_to_utf16(ansi, back) && back == text)
    return make_string(call.c, call.result, ansi);
  return make_wstring(call.c, call.result, text);
}

std::string shown(std::u16string_view text) {
  std::string ansi;
  platform::utf16_to_ansi(text, ansi);
  return ansi;
}

void set_count(Call& call, std::uint64_t n) {
  if (n <= 0x7FFFFFFFu) make_int(call.result, static_cast<std::int32_t>(n));
  else make_int64(call.result, static_cast<std::int64_t>(n));
}

}  // namespace system

void register_place_functions(HandlerTable& t) {
  system::register_directories(t);
  system::register_disks(t);
  system::register_environment(t);
}

}  // namespace orv
