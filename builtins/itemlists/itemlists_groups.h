// Registration of the item-list function groups, one per source file.
#pragma once
#include "builtins/dispatch.h"

namespace orv::items {
void register_count_extract(HandlerTable& t);
void register_edit(HandlerTable& t);
void register_locate(HandlerTable& t);
void register_sort(HandlerTable& t);
void register_csv(HandlerTable& t);
}  // namespace orv::items
