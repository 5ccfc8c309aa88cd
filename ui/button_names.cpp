// ButtonNames keeps its names until the next box of the same context. A
// context runs on one thread at a time and a box shows on that thread, so the
// thread holds them, marked with the context that set them: another context
// (a later run on the same thread) never sees them.
#include "ui/box_backend.h"

namespace orv::ui {
namespace {

struct PendingButtonNames {
  const Context* owner = nullptr;
  ButtonNames names;
};

PendingButtonNames& pending_button_names() {
  thread_local PendingButtonNames pending;
  return pending;
}

}  // namespace

void set_button_names(Context& c, ButtonNames names) {
  PendingButtonNames& p = pending_button_names();
  p.owner = &c;
  p.names = std::move(names);
}

ButtonNames take_button_names(Context& c) {
  PendingButtonNames& p = pending_button_names();
  ButtonNames names;
  if (p.owner == &c) names = std::move(p.names);
  p.owner = nullptr;
  p.names = {};
  return names;
}

}  // namespace orv::ui
