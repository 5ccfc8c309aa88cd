#include "engine/trace/target.h"

#include "engine/trace/trace_state.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace orv::trace {

bool is_debugger_target(std::string_view target) {
  if (target.size() != sizeof kDebuggerTarget - 1) return false;
  for (std::size_t i = 0; i < target.size(); ++i) {
    char ch = target[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch != kDebuggerTarget[i]) return false;
  }
  return true;
}

std::string target_path(std::string_view text) {
  if (is_debugger_target(text)) return kDebuggerTarget;
  std::u16string wide, full;
  std::string out;
  if (!platform::ansi_to_utf16(text, wide) || !platform::files::full_path(wide, full) ||
      !platform::utf16_to_ansi(full, out))
    return std::string(text);
  return out;
}

bool append_to_target(const std::string& target, std::string_view text) {
  if (target == kDebuggerTarget) {
    platform::debug_output(std::string(text));
    return true;
  }
  std::u16string path;
  if (!platform::ansi_to_utf16(target, path)) return false;
  std::uint32_t err = 0;
  const platform::files::FileHandle h = platform::files::open(path, platform::files::Open::open_always, err);
  if (!h) return false;
  std::uint64_t size = 0;
  const bool ok = platform::files::seek_end(h, size) && platform::files::write(h, text.data(), text.size(), err);
  platform::files::close(h);
  return ok;
}

void delete_target(const std::string& target) {
  if (target.empty() || target == kDebuggerTarget) return;
  std::u16string path;
  std::uint32_t err = 0;
  if (platform::ansi_to_utf16(target, path)) platform::files::remove(path, err);
}

}  // namespace orv::trace
