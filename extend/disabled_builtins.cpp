#include "extend/disabled_builtins.h"

#include <string>

#include "engine/keyword_table.h"
#include "engine/keywords.h"
#include "engine/variables.h"
#include "extend/dll_state.h"

namespace orv::ext {

bool builtin_disabled(const Context& c, int id) {
  if (!c.dllState || id < 0) return false;
  const auto& off = static_cast<const dll::DllState*>(c.dllState.get())->disabledBuiltins;
  return static_cast<std::size_t>(id) < off.size() && off[static_cast<std::size_t>(id)];
}

bool set_builtin_disabled(Context& c, std::string_view name, bool disabled) {
  const std::string lower = lower_name(name);
  std::size_t length = 0;
  // The lookup stops at the first character that cannot be in a name.
  const int id = lookup_identifier(c, lower.c_str(), length);
  if (length != lower.size() || id < 0 || id >= kKeywordCount || !is_function_id(c, id)) return false;
  auto& off = dll::dll_state(c).disabledBuiltins;
  if (off.size() < static_cast<std::size_t>(kKeywordCount)) off.resize(static_cast<std::size_t>(kKeywordCount));
  off[static_cast<std::size_t>(id)] = disabled;
  return true;
}

}  // namespace orv::ext
