#include "builtins/families.h"
#include "winauto/window_groups_win32.h"
#include "winauto/winauto_groups.h"

namespace orv {

void register_winauto_functions(HandlerTable& t) {
  winauto::register_launch(t);
  winauto::register_window_commands(t);
  winauto::register_window_placement(t);
  winauto::register_window_lists(t);
  winauto::register_window_waits(t);
  winauto::register_sendkey(t);
  winauto::register_message_text(t);
  winauto::register_keyboard_state(t);
  winauto::register_window_extras(t);
  winauto::register_menus(t);
  winauto::register_apps(t);
  winauto::register_mouse(t);
}

}  // namespace orv
