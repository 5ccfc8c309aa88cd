// Fuzz target: open-command templates and parameter splitting never overrun
// the command-line limit. The first byte splits template and parameters.
#include <cstdint>
#include <string>
#include <string_view>

#include "winauto/command_line.h"

using namespace orv::winauto;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t cut = data[0] % (rest.size() + 1);
  std::string_view command = rest.substr(0, cut), params = rest.substr(cut);
  if (parameter_words(params).size() > 8) __builtin_trap();
  if (auto line = association_command(command, "c:\\doc.txt", params); line && line->size() > kCommandLineMax)
    __builtin_trap();
  if (auto line = expand_template(command, params, params); line && line->size() > kCommandLineMax) __builtin_trap();
  app_paths_keys(command);
  return 0;
}
