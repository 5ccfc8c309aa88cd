// Registration of the window automation groups. The Windows halves register
// real handlers; the native build registers none (the ids answer 3046).
#pragma once
#include "builtins/dispatch.h"

namespace orv::winauto {
void register_launch(HandlerTable& t);
void register_sendkey(HandlerTable& t);
void register_message_text(HandlerTable& t);
void register_keyboard_state(HandlerTable& t);
void register_window_extras(HandlerTable& t);
void register_menus(HandlerTable& t);
void register_apps(HandlerTable& t);
void register_mouse(HandlerTable& t);
}  // namespace orv::winauto
