// The groups of file built-ins, each registering its handlers.
#pragma once
#include "builtins/dispatch.h"

namespace orv::files {
void register_text_files(HandlerTable& t);
void register_management(HandlerTable& t);
void register_listing(HandlerTable& t);
void register_attributes(HandlerTable& t);
void register_times(HandlerTable& t);
void register_folders(HandlerTable& t);
void register_name_functions(HandlerTable& t);
void register_file_facts(HandlerTable& t);
void register_whole_files(HandlerTable& t);
void register_file_digests(HandlerTable& t);
void register_programs(HandlerTable& t);
}  // namespace orv::files
