// The groups of array built-ins, each registering its handlers.
#pragma once
#include "builtins/dispatch.h"

namespace orv::arrays {
void register_info(HandlerTable& t);
void register_sort(HandlerTable& t);
void register_search(HandlerTable& t);
void register_files(HandlerTable& t);
void register_csv_files(HandlerTable& t);
void register_conversions(HandlerTable& t);
void register_reshape(HandlerTable& t);
void register_rearrange(HandlerTable& t);
}  // namespace orv::arrays
