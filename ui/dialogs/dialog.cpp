// Dialog and the dialog functions: the definition comes from the script's
// variables through a source over the variable table; the runtime does the rest.
#include "builtins/families.h"
#include "engine/convert.h"
#include "engine/error_numbers.h"
#include "engine/keyword_ids.h"
#include "engine/value_ops.h"
#include "engine/variables.h"
#include "ui/dialogs/runtime.h"

namespace orv::dialogs {

std::optional<std::string> variable_text(Context& c, std::string_view name) {
  const std::uint16_t slot = find_slot(c, lower_name(name));
  if (slot == kNotFound) return std::nullopt;
  const Value& v = c.slots[slot].v;
  if (!(v.flags & (vf::kStr | vf::kWide | vf::kNumeric))) return std::nullopt;
  std::string out;
  if (!value_text(c, v, out)) {
    c.error = 0;
    return std::nullopt;
  }
  return out;
}

namespace {

class VariableSource : public DefinitionSource {
 public:
  explicit VariableSource(Context& c) : c_(c) {}
  std::optional<std::string> text(std::string_view name) override { return variable_text(c_, name); }
  bool image_loadable(std::string_view file) override { return platform::file_exists(std::string(file)); }

 private:
  Context& c_;
};

std::string argument_text(Call& call, int k) {
  std::string out;
  if (k <= call.count && !value_text(call.c, call.args[static_cast<std::size_t>(k)], out)) call.c.error = 0;
  return out;
}

void dialog(Call& call) {
  VariableSource source(call.c);
  answer_dialog(call, argument_text(call, 1), source);
}

}  // namespace

void answer_dialog(Call& call, std::string_view name, DefinitionSource& source) {
  Definition d;
  DefinitionError error;
  if (!read_definition(name, source, d, error)) {
    fail(call.c, error.number, error.text);
    return;
  }
  std::int32_t result = 0;
  if (!run_dialog(call.c, d, result)) return;
  if (result == 0) {
    fail(call.c, errs::kCancelled);
    return;
  }
  make_int(call.result, result);
}
}  // namespace orv::dialogs

namespace orv {

void register_dialog_functions(HandlerTable& t) {
  t.add(kw::fn_dialog, dialogs::dialog);
  t.add(kw::fn_dialogprocoptions, dialogs::proc_options);
  t.add(kw::fn_dialogcontrolstate, dialogs::control_state);
  t.add(kw::fn_dialogcontrolget, dialogs::control_get);
  t.add(kw::fn_dialogcontrolset, dialogs::control_set);
  t.add(kw::fn_dialogobject, dialogs::dialog_object);
}

}  // namespace orv
