// Each family of built-ins adds its handlers to the table here.
#pragma once
#include "builtins/dispatch.h"

namespace orv {
void register_control_functions(HandlerTable& t);
void register_value_functions(HandlerTable& t);
void register_program_functions(HandlerTable& t);
void register_math_functions(HandlerTable& t);
void register_error_functions(HandlerTable& t);
void register_intcontrol(HandlerTable& t);
void register_array_functions(HandlerTable& t);
void register_map_functions(HandlerTable& t);
void register_string_functions(HandlerTable& t);
void register_itemlist_functions(HandlerTable& t);
void register_winauto_functions(HandlerTable& t);
void register_box_functions(HandlerTable& t);
void register_list_box_functions(HandlerTable& t);
void register_dialog_file_functions(HandlerTable& t);
void register_desktop_functions(HandlerTable& t);
void register_chooser_functions(HandlerTable& t);
void register_file_functions(HandlerTable& t);
void register_ini_functions(HandlerTable& t);
void register_registry_functions(HandlerTable& t);
void register_time_functions(HandlerTable& t);
void register_binary_functions(HandlerTable& t);
void register_clipboard_functions(HandlerTable& t);
void register_dialog_functions(HandlerTable& t);
void register_dll_functions(HandlerTable& t);
void register_trace_functions(HandlerTable& t);
void register_system_functions(HandlerTable& t);
void register_place_functions(HandlerTable& t);   // folders, disks, environment
void register_pipe_functions(HandlerTable& t);
void register_dde_functions(HandlerTable& t);
}  // namespace orv
