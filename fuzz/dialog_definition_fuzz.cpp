// Fuzz target: random dialog and control variables either read into a
// definition or stop with one of the dialog family's error numbers.
#include <cstdint>
#include <map>
#include <string>

#include "ui/dialogs/definition.h"

using namespace orv::dialogs;

namespace {
class FuzzSource : public DefinitionSource {
 public:
  std::map<std::string, std::string> vars;
  std::optional<std::string> text(std::string_view name) override {
    std::string key(name);
    for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    auto it = vars.find(key);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  }
  bool image_loadable(std::string_view file) override { return file.size() % 2 == 0; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Lines of the input: format, width, height, count, then controls; a line
  // "name=value" sets any other dialog variable.
  std::string_view in(reinterpret_cast<const char*>(data), size);
  FuzzSource s;
  static const char* const kFixed[] = {"dformat", "dwidth", "dheight", "dnumcontrols"};
  int line = 0, control = 0;
  while (!in.empty()) {
    const std::size_t nl = in.find('\n');
    std::string text(in.substr(0, nl));
    in.remove_prefix(nl == std::string_view::npos ? in.size() : nl + 1);
    if (const std::size_t eq = text.find('='); eq != std::string::npos && eq < 12 && text[0] == 'd') {
      s.vars[text.substr(0, eq)] = text.substr(eq + 1);
    } else if (line < 4) {
      s.vars[kFixed[line++]] = text;
    } else if (control < 600) {
      char name[8];
      std::snprintf(name, sizeof name, "d%3.3d", ++control);
      s.vars[name] = text;
    }
  }
  Definition d;
  DefinitionError e;
  const bool ok = read_definition("d", s, d, e);
  if (!ok && (e.number < 3000 || e.number > 3999)) __builtin_trap();
  if (ok && d.controls.size() > static_cast<std::size_t>(kMaxControls)) __builtin_trap();
  return 0;
}
