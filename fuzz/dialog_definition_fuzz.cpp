// Fuzz target: random dialog and control variables either read into a
// definition or stop with one of the dialog family's error numbers.
#include <cstdint>
#include <map>
#include <string>

#include "ui/dialogs/definition.h"
#include "ui/dialogs/report_values.h"

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
std::u16string widened(std::string_view s) { return std::u16string(s.begin(), s.end()); }

void report_values(std::string_view in) {
  std::u16string previous;
  while (!in.empty()) {
    const std::size_t nl = in.find('\n');
    const std::string_view line = in.substr(0, nl);
    in.remove_prefix(nl == std::string_view::npos ? in.size() : nl + 1);
    if (const auto w = parse_column_width(line); w && (*w < kFitHeading || *w > kWidthMax)) __builtin_trap();
    ColumnFormat f;
    if (parse_column_format(line, f)) {
      ColumnFormat again;
      if (!parse_column_format(column_format_text(f), again) || column_format_text(again) != column_format_text(f))
        __builtin_trap();
    }
    if (const auto c = parse_row_colours(line)) {
      const auto again = parse_row_colours(row_colours_text(*c));
      if (!again || row_colours_text(*again) != row_colours_text(*c)) __builtin_trap();
    }
    const std::u16string cell = widened(line);
    for (SortKind kind : {SortKind::text, SortKind::number, SortKind::logical}) {
      const auto ab = compare_cells(previous, cell, kind), ba = compare_cells(cell, previous, kind);
      if (ab.has_value() != ba.has_value()) __builtin_trap();
      if (ab && kind != SortKind::logical && ((*ab < 0) != (*ba > 0))) __builtin_trap();
      if (const auto self = compare_cells(cell, cell, kind); self && *self != 0) __builtin_trap();
    }
    previous = cell;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Lines of the input: format, width, height, count, then controls; a line
  // "name=value" sets any other dialog variable. Every line is also given to
  // the report-view value readers, and neighbouring lines are ordered as cells.
  std::string_view in(reinterpret_cast<const char*>(data), size);
  report_values(in);
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
  for (const Control& k : d.controls) {
    // Every control that names a variable or class has one, within its limit.
    const std::size_t most = k.type == kComControl ? kClassNameMax : kVariableMax;
    if (k.variable.size() > most) __builtin_trap();
    if (k.type == kComControl && k.variable.empty()) __builtin_trap();
  }
  return 0;
}
