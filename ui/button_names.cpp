// ButtonNames keeps its names in the context until the next box takes them.
#include "ui/box_backend.h"

namespace orv::ui {

void set_button_names(Context& c, ButtonNames names) {
  c.nextOkName = std::move(names.ok);
  c.nextCancelName = std::move(names.cancel);
}

ButtonNames take_button_names(Context& c) {
  ButtonNames names{std::move(c.nextOkName), std::move(c.nextCancelName)};
  c.nextOkName.clear();
  c.nextCancelName.clear();
  return names;
}

}  // namespace orv::ui
